// The header table of the one-shot senders.
#include "sendmail/one_shot.h"

namespace pellam {

const char* const kOneShotHeaderNames[kOneShotHeaders] = {"Date", "From", "To", "Cc", "Subject"};

}  // namespace pellam
