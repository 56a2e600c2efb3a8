// What both circuits do alike: count what goes out, and hand data for this node up.
#include "routing/circuit.h"

namespace decnet {

bool Circuit::Transmit(ByteSpan packet, const MacAddress& destination) {
  if (!link_.Send(packet, destination)) return false;
  ++counters_.packets_sent;
  counters_.bytes_sent += packet.size();
  return true;
}

bool Circuit::DeliverData(ByteSpan packet, DataHeader* header_out) {
  ByteSpan nsp;
  std::optional<DataHeader> header = DecodeDataHeader(packet, &nsp);
  if (!header || nsp.empty()) {
    ++counters_.malformed;
    return false;
  }
  *header_out = *header;
  if (header->destination != self_) {
    ++counters_.not_for_us;
    return true;
  }
  if (header->rts()) ++counters_.returned;
  receiver_.OnNspMessage(header->source, nsp, header->rts());
  return true;
}

const char* NodeTypeText(NodeType type) {
  switch (type) {
    case NodeType::kAreaRouter: return "area router";
    case NodeType::kL1Router: return "routing IV";
    case NodeType::kEndNode: return "nonrouting IV";
  }
  return "";
}

}  // namespace decnet
