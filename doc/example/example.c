/*
 * example.c: sends a short message to the user named on the command line through the
 * Pellam mail library, and says where it was queued. The message goes from the user
 * who runs the program, as with pellpost.
 *   cc example.c $(pkg-config --cflags --libs pellam) -o example && ./example ann
 */
#include <pellam.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '\0' || strpbrk(argv[1], "\r\n") != NULL) {
    fprintf(stderr, "usage: %s USER\n", argv[0]);
    return 2;
  }
  char text[512];
  const int length = snprintf(text, sizeof text,
                              "To: %s\r\nSubject: Hello\r\n\r\nSent with the Pellam mail library.\r\n",
                              argv[1]);
  if (length < 0 || (size_t)length >= sizeof text) {
    fprintf(stderr, "%s: the name is too long\n", argv[0]);
    return 2;
  }

  MailSystemProfile system; /* the machine's mail parameters, for the queue's name */
  const char* error_position = NULL;
  uint32_t code = GetSystemProfile(&system);
  if (code == 0) code = SendMailMessageFromText(text, length, &error_position);
  if (code != 0) {
    char message[256]; /* status texts end in CR LF */
    fprintf(stderr, "%s: %s", argv[0], GetErrorText(code, message, sizeof message, NULL));
    return 1;
  }
  printf("queued for %s in %s\n", argv[1], system.MailQueuePath);
  return 0;
}
