// The header section is written by the service (AddHeaders knows only From, To, Cc
// and Subject, and would take From from the service's own profile), handed to the
// library through an anonymous in-memory file, as is the text. The service links the
// library's core, so it may look into the handle for the temporary file's name.
#include "generated_mail.h"

#include <vector>

#include "compose/message_handle.h"
#include "pellam.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace pellam::service {
namespace {

// An anonymous file holding `bytes`, positioned at its start.
uint32_t MemoryFile(std::string_view bytes, platform::UniqueFile* file) {
  file->reset(platform::CreateMemoryFile("pellam-mail"));
  if (!*file) return platform::GetLastError();
  if (!platform::WriteFile(file->get(), bytes.data(), static_cast<uint32_t>(bytes.size())) ||
      !platform::SetFilePointer(file->get(), 0, platform::kBegin)) {
    return platform::GetLastError();
  }
  return 0;
}

// Header values are single lines: a line break in a subject taken from elsewhere
// would start a header line of its own.
std::string OneLine(std::string value) {
  for (char& c : value) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return value;
}

uint32_t Compose(MailHandle message, const PreparedMail& mail, const BeforePost& before, bool* announced) {
  if (const uint32_t code = AddAddresses(message, mail.to.c_str(), ADDR_SINGLE)) return code;
  platform::UniqueFile header_file, text_file;
  if (const uint32_t code = MemoryFile(mail.header, &header_file)) return code;
  if (const uint32_t code = AddHeadersFile(message, header_file.get(), static_cast<uint32_t>(mail.header.size()))) {
    return code;
  }
  if (mail.text_file == -1) {
    if (const uint32_t code = MemoryFile(mail.text, &text_file)) return code;
  }
  const int text = mail.text_file != -1 ? mail.text_file : text_file.get();
  if (const uint32_t code = AddTextFile(message, text, 0xFFFFFFFF)) return code;
  if (before) {
    platform::FileFacts posted;
    if (const uint32_t code = platform::LookAtFile(message->file, &posted)) return code;
    if (const uint32_t code = before(message->temp_name, posted.inode)) return code;
    *announced = true;
  }
  return PostMailMessage(message);
}

}  // namespace

PreparedMail Prepare(const GeneratedMail& mail) {
  PreparedMail prepared{mail.to, {}, mail.text};
  prepared.header = "From: " + OneLine(mail.from) + "\r\nTo: " + OneLine(mail.to) + "\r\n";
  if (!mail.subject.empty()) prepared.header += "Subject: " + OneLine(mail.subject) + "\r\n";
  prepared.header += "Auto-Submitted: " + mail.automatic + "\r\n\r\n";
  return prepared;
}

uint32_t PostPrepared(const PreparedMail& mail, const BeforePost& before, const BeforeDiscard& discard) {
  bool announced = false;
  MailHandle message = CreateMailMessage(0);
  if (message == nullptr) return platform::GetLastError();
  const std::string temp = message->temp_name;
  const uint32_t code = Compose(message, mail, before, &announced);
  if (code != 0 && announced && discard) discard(temp);
  const uint32_t closed = CloseMailMessage(message);
  return code != 0 ? code : closed;
}

uint32_t PostGeneratedMail(const GeneratedMail& mail) { return PostPrepared(Prepare(mail)); }

std::string FromText(const std::string& account, const std::string& full_name) {
  std::vector<char> name(full_name.begin(), full_name.end());
  name.push_back('\0');
  if (full_name.empty() || CheckPNameOut(name.data()) != 0 || name[0] == '\0') return account;
  return account + "  (" + name.data() + ")";
}

}  // namespace pellam::service
