// The MAIL-11 option block from arbitrary bytes, as connect data to our receiver and
// as confirm data to our sender. Invariants: a block that decodes encodes to the same
// bytes; whatever the receiver confirms with passes the sender's check of that very
// proposal; a sender never takes the CC line unless the answer granted it.
#include <cstdint>
#include <cstdlib>

#include "mail11/options.h"

using namespace pellam::mail11;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const decnet::Message bytes(data, data + size);
  const auto block = DecodeOptions(bytes);
  if (block.has_value() != (size == kOptionBlockSize)) std::abort();
  if (block && EncodeOptions(*block) != bytes) std::abort();

  const ConnectAnswer answer = AnswerProposal(bytes);
  if (answer.confirm && !answer.accept_data.empty()) {
    const auto granted = DecodeOptions(answer.accept_data);
    if (!block || !granted) std::abort();
    if (CheckAnswer(*block, answer.accept_data).status != 0) std::abort();
    if (answer.terms.cc != ((granted->modes & kAcceptCc) != 0)) std::abort();
  }
  if (answer.confirm != (answer.status == 0)) std::abort();

  const AnswerCheck check = CheckAnswer(SenderProposal(), bytes);
  if (check.terms.cc && (check.status != 0 || !block || !(block->modes & kAcceptCc))) std::abort();
  return 0;
}
