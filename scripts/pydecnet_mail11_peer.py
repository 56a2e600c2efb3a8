#!/usr/bin/env python3
# A small MAIL-11 peer on a PyDECnet node's API, for trying the Pellam service against
# a DECnet implementation that is not our own, by hand. Run from outside this tree with
# PyDECnet importable (PYTHONPATH=<its tree>) and DECNETAPI naming its API socket:
#   send NODE USER SUBJECT   sends one message as JONES to USER on NODE's object 27
#   receive SECONDS          binds object 27 and prints the first message it is sent
# No CC line is asked for or granted, and no record it sends is empty: PyDECnet sends
# no segment for empty data.
import asyncio
import struct
import sys

from decnet.async_connectors import AsyncApiConnector

# Version 3, ECO 0, customer ECO 0, OS 18 (Linux), no options, no modes, variable
# records with carriage control, sequential organisation.
OPTIONS = bytes([3, 0, 0, 18]) + struct.pack("<II", 0, 0) + bytes([2, 2, 0, 0])
SUCCESS = struct.pack("<I", 1)


async def record(conn, what):
    msg = await conn.recv()
    if msg.type != "data":
        raise SystemExit(f"peer: {what}: got {msg.type} {getattr(msg, 'reason', '')}")
    return bytes(msg)


async def status(conn, what):
    first = await record(conn, what)
    if first == SUCCESS:
        return "success"
    texts = []
    while True:
        text = await record(conn, what)
        if text == b"\0":
            break
        texts.append(text.decode("latin1"))
    return f"failure {struct.unpack('<I', first)[0]:08X}: " + " / ".join(texts)


async def send(api, node, user, subject):
    conn, answer = await api.connect(dest=node, remuser=27, data=OPTIONS, localuser="JONES")
    if conn is None:
        raise SystemExit(f"peer: connect refused: {answer.reason}")
    reply = await conn.recv()
    if reply.type != "accept":
        raise SystemExit(f"peer: connect {reply.type}: {getattr(reply, 'reason', '')}")
    print("peer: accepted, option answer", bytes(reply).hex(" "))
    conn.data(b"JONES       ")
    for rcpt in (user, "NOSUCHUSER"):
        conn.data(rcpt.encode("latin1"))
        print(f"peer: recipient {rcpt}:", await status(conn, "recipient status"))
    conn.data(b"\0")
    conn.data(f"{node}::{user}".encode("latin1"))
    conn.data(subject.encode("latin1"))
    for line in ("Hello from a PyDECnet node.", " ", "Second paragraph."):
        conn.data(line.encode("latin1"))
    conn.data(b"\0")
    print(f"peer: final status for {user}:", await status(conn, "final status"))
    conn.disconnect()


async def receive(api, seconds):
    listener = await api.bind(27, "MAIL")
    conn = await asyncio.wait_for(listener.listen(), seconds)
    connect = await conn.recv()
    print("peer: connect from", getattr(connect, "srcname", "?"), "data", bytes(connect).hex(" "))
    await conn.accept(OPTIONS)
    print("peer: sender", (await record(conn, "sender")).decode("latin1"))
    recipients = []
    while True:
        rcpt = await record(conn, "recipient")
        if rcpt == b"\0":
            break
        recipients.append(rcpt.decode("latin1"))
        conn.data(SUCCESS)
    print("peer: recipients", recipients)
    print("peer: To", (await record(conn, "to")).decode("latin1"))
    print("peer: Subject", (await record(conn, "subject")).decode("latin1"))
    while True:
        line = await record(conn, "body")
        if line == b"\0":
            break
        print("peer: body |" + line.decode("latin1"))
    for _ in recipients:
        conn.data(SUCCESS)
    end = await conn.recv()
    print("peer: then", end.type, getattr(end, "reason", ""))


async def main(argv):
    api = AsyncApiConnector()
    await api.start()
    if len(argv) == 4 and argv[0] == "send":
        await send(api, *argv[1:])
    elif len(argv) == 2 and argv[0] == "receive":
        await receive(api, float(argv[1]))
    else:
        raise SystemExit("usage: pydecnet_mail11_peer.py send NODE USER SUBJECT | receive SECONDS")
    await api.close()


if __name__ == "__main__":
    asyncio.run(asyncio.wait_for(main(sys.argv[1:]), 120))
