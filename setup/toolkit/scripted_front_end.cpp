// Reading the answers and keeping the transcript. Texts in the transcript are quoted
// and message texts put on one line, so that each event is one line to compare.
#include "scripted_front_end.h"

#include <cstdlib>

#include "dialog_event.h"

namespace setup {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A message on one line: its line ends become single spaces.
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      if (!line.empty() && line.back() != ' ') line += ' ';
    } else {
      line += c;
    }
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

bool ParseNumber(const std::string& word, long* number) {
  if (word.empty() || word.size() > 9) return false;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
  }
  *number = std::strtol(word.c_str(), nullptr, 10);
  return true;
}

}  // namespace

bool ScriptedFrontEnd::Load(const std::string& answers, std::string* error) {
  answers_.clear();
  quit_copy_after_ = -1;
  std::size_t at = 0;
  for (int number = 1; at < answers.size(); ++number) {
    std::size_t end = answers.find('\n', at);
    if (end == std::string::npos) end = answers.size();
    std::string line = answers.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    line = line.substr(first);
    const auto space1 = line.find(' ');
    const std::string word1 = line.substr(0, space1);
    const std::string rest = space1 == std::string::npos ? std::string() : line.substr(space1 + 1);
    const auto space2 = rest.find(' ');
    const std::string word2 = rest.substr(0, space2);
    const bool has_text = space2 != std::string::npos;
    std::string text = has_text ? rest.substr(space2 + 1) : std::string();
    const std::string where = "line " + std::to_string(number) + ": ";
    long value = 0;
    if (word1 == "copy") {
      if (word2 != "QUIT" || !ParseNumber(text, &value)) {
        *error = where + "write copy QUIT <number of files>";
        return false;
      }
      quit_copy_after_ = value;
      continue;
    }
    if (!ParseNumber(word1, &value)) {
      *error = where + "an answer begins with the number of its dialog";
      return false;
    }
    if (ParseDialogEvent(word2) == DialogEvent::kUnknown || word2 != EventName(ParseDialogEvent(word2))) {
      *error = where + "the event is BACK, CANCEL, CONTINUE or EXIT";
      return false;
    }
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    answers_.push_back(Answer{number, static_cast<int>(value), word2, has_text, text});
  }
  return true;
}

void ScriptedFrontEnd::Note(const std::string& line) {
  transcript_ += line + "\n";
  if (out_ != nullptr) {
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
  }
}

bool ScriptedFrontEnd::SetBackground(int) { return true; }

bool ScriptedFrontEnd::SetTitle(const std::string& title) {
  Note("title " + Quoted(title));
  return true;
}

bool ScriptedFrontEnd::ShowDialog(const DialogRequest& request, DialogAnswer* answer) {
  const int id = request.dialog->id;
  const bool named = !answers_.empty() && answers_.front().dialog == id;
  if (!named) {
    if (request.proc == DialogProc::kInfo0) {
      answer->event = "CONTINUE";
      Note("dialog " + std::to_string(id) + " CONTINUE");
      return true;
    }
    Note(answers_.empty() ? "error no answer is left for dialog " + std::to_string(id)
                          : "error dialog " + std::to_string(id) + " is shown, but the answer of line " +
                                std::to_string(answers_.front().line) + " is for dialog " +
                                std::to_string(answers_.front().dialog));
    return false;
  }
  const Answer given = answers_.front();
  answers_.pop_front();
  answer->event = given.event;
  if (request.proc == DialogProc::kEdit) {
    answer->edit_out = given.has_text ? given.text : request.edit_in;
    Note("dialog " + std::to_string(id) + " " + Quoted(request.edit_in) + " " + given.event + " " +
         Quoted(answer->edit_out));
  } else {
    Note("dialog " + std::to_string(id) + " " + given.event);
  }
  return true;
}

bool ScriptedFrontEnd::ShowNote(const DialogTemplate& note) {
  Note("note " + std::to_string(note.id));
  return true;
}

bool ScriptedFrontEnd::CloseNotes() {
  Note("notes closed");
  return true;
}

void ScriptedFrontEnd::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
  Note(std::string("message ") + (icon == MessageIcon::kStop ? "stop " : "exclamation ") + caption + ": " +
       OneLine(text));
}

void ScriptedFrontEnd::BeginProgress(std::size_t total, int x, int y) {
  Note("copy " + std::to_string(total) + " files, gauge at " + std::to_string(x) + "," + std::to_string(y));
}

bool ScriptedFrontEnd::Progress(std::size_t done, const std::string&) {
  if (quit_copy_after_ >= 0 && done == static_cast<std::size_t>(quit_copy_after_)) {
    Note("copy quit after " + std::to_string(done) + " files");
    return false;
  }
  return true;
}

}  // namespace setup
