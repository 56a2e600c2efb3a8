/* The floor under posting a message, as a whole process: a C program that links only
 * the C library and does the durable file work of one posting (create exclusively,
 * write, flush, rename into the queue, flush the queue directory) and nothing else.
 * usage: post_floor TEMP-FILE QUEUE-FILE QUEUE-DIRECTORY SIZE; exit 0 when all is done. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  size_t size = (size_t)strtoul(argv[4], NULL, 10);
  char buffer[4096];
  memset(buffer, 'x', sizeof buffer);
  int fd = open(argv[1], O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return 1;
  int ok = 1;
  for (size_t done = 0; ok && done < size;) {
    size_t chunk = size - done < sizeof buffer ? size - done : sizeof buffer;
    ssize_t n = write(fd, buffer, chunk);
    ok = n > 0;
    if (ok) done += (size_t)n;
  }
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(argv[1], argv[2]) == 0;
  int dir = ok ? open(argv[3], O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
  ok = ok && dir >= 0 && fsync(dir) == 0;
  if (dir >= 0) close(dir);
  return ok ? 0 : 1;
}
