// Posting and abandoning compositions: what reaches the queue, the copies kept in
// lastpost.txt and lastquit.txt, the notice after a post, and compositions the
// library refuses, which keep their window with the offending line selected.
#include <QAction>
#include <QApplication>

#include "framework/child_frame.h"
#include "framework/commands.h"
#include "message/notice_wnd.h"
#include "message_test_support.h"
#include "platform/errors.h"
#include "platform/fault.h"

namespace pelldesk::test {
namespace {

using pellam::test::ReadTextFile;

CNoticeWnd* ShownNotice() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* notice = dynamic_cast<CNoticeWnd*>(w); notice != nullptr && notice->isVisible()) return notice;
  }
  return nullptr;
}

// Fills in a new composition as the user does: addressee after "To: ", subject and
// body at the end.
CMsgDoc* Write(CMsgDoc* doc, const QString& to, const QString& body) {
  CMsgView* view = ViewOf(doc);
  Type(view, to);
  view->moveCursor(QTextCursor::End);
  Type(view, body);
  return doc;
}

class Posting : public MessageTest {
 protected:
  // Post by its key: the F12 action of the main frame.
  void PressPost() {
    QAction* post = app_.mainFrameWindow()->Action(kCmdPost);
    ASSERT_NE(post, nullptr);
    ASSERT_TRUE(post->shortcuts().contains(QKeySequence("F12")));
    app_.mainFrameWindow()->UpdateCommandUi();
    post->trigger();
  }
};

TEST_F(Posting, APostReachesTheQueueKeepsItsTextAndClosesTheWindow) {
  CMsgDoc* doc = Write(Compose(), "bob", "hello\nsecond line");
  const std::string text = ViewOf(doc)->StoredText();
  EXPECT_NE(text.find("To: bob\r\n"), std::string::npos);
  PressPost();
  EXPECT_EQ(boxes_->count(), 0u) << boxes_->boxes()[0].text;
  EXPECT_TRUE(MessageDocs().empty());
  const std::vector<std::string> queued = Files(queue_);
  ASSERT_EQ(queued.size(), 1u);
  const std::string control = ReadTextFile(queue_ + queued[0]);
  EXPECT_NE(control.find("To: bob\r\n"), std::string::npos);
  EXPECT_NE(control.find("\r\n\r\nhello\r\nsecond line"), std::string::npos);
  EXPECT_EQ(ReadTextFile(Mail("lastpost.txt")), text);

  CNoticeWnd* notice = ShownNotice();
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(notice->text(), "Pellam message posted.");
  EXPECT_TRUE(WaitUntil([] { return ShownNotice() == nullptr; }, 3000)) << "the notice goes after its second";
}

TEST_F(Posting, AfterAPostTheWindowTheUserCameFromIsActiveAndStaysMaximised) {
  const std::string stored = WriteMail("main/msg0001.mai", "From: bob\r\nSubject: Hi\r\n\r\nHello.\r\n");
  CMsgDoc* reading = Open(stored);
  ASSERT_NE(reading, nullptr);
  fw::ChildFrame* from = ViewOf(reading)->frame();
  from->ActivateFrame(fw::SW_SHOWMAXIMIZED);
  Write(Compose(), "bob", "a reply of sorts");
  ProcessEvents();
  PressPost();
  ProcessEvents();
  EXPECT_TRUE(boxes_->boxes().empty());
  EXPECT_EQ(app_.mainFrameWindow()->ActiveChild(), from) << "not the tree, the oldest window";
  EXPECT_TRUE(from->isMaximized());
}

TEST_F(Posting, TwoPostsLeaveOnlyTheSecondInLastPost) {
  Write(Compose(), "bob", "first");
  PressPost();
  CMsgDoc* second = Write(Compose(), "carol", "second");
  const std::string text = ViewOf(second)->StoredText();
  PressPost();
  EXPECT_EQ(Files(queue_).size(), 2u);
  EXPECT_EQ(ReadTextFile(Mail("lastpost.txt")), text);
}

TEST_F(Posting, RefusedCompositionsKeepTheirWindowWithTheLineSelected) {
  struct Row {
    const char* name;
    QString typed;    // replaces the whole form
    const char* selected;  // what is selected afterwards
    uint32_t status;
  } rows[] = {
      {"a line without a colon", "From: me\nTo: bob\nno colon here\n\nbody", "no colon here\r\n", ERR_BAD_HEADER_SECTION},
      {"no empty line", "To: bob\nSubject: x", "Subject: x", ERR_BAD_HEADER_SECTION},
      {"no addressee", "", "", ERR_NO_ADDRESSES},  // the form as it was: the caret goes to the start
  };
  for (const Row& row : rows) {
    CMsgDoc* doc = Compose();
    ASSERT_NE(doc, nullptr);
    CMsgView* view = ViewOf(doc);
    if (!row.typed.isEmpty()) {
      view->selectAll();
      Type(view, row.typed);
    }
    const std::string before = view->StoredText();
    const std::size_t boxes = boxes_->count();
    PressPost();
    ASSERT_EQ(boxes_->count(), boxes + 1) << row.name;
    EXPECT_EQ(boxes_->boxes().back().text, "Sorry, unable to post mail message.\r\n\r\n" + StatusText(row.status))
        << row.name;
    ASSERT_EQ(Newest(), doc) << row.name << ": the window stays";
    EXPECT_EQ(view->StoredText(), before) << row.name;
    std::size_t start = 0, end = 0;
    view->GetSelection(&start, &end);
    EXPECT_EQ(before.substr(start, end - start), row.selected) << row.name;
    if (std::string(row.selected).empty()) {
      EXPECT_EQ(view->CaretOffset(), 0u) << row.name;
    }
    doc->OnCloseDocument();
  }
  EXPECT_EQ(Files(queue_), std::vector<std::string>{});
  EXPECT_FALSE(std::filesystem::exists(Mail("lastpost.txt")));
}

TEST_F(Posting, ACopyThatCannotBeWrittenStillLetsTheWindowClose) {
  platform::fault::Scope faults;
  Write(Compose(), "bob", "body");
  // The library takes the first temporary name for its control file; the copy the second.
  platform::fault::FailNth(platform::fault::Op::TempName, 2, ERROR_ACCESS_DENIED);
  PressPost();
  EXPECT_TRUE(MessageDocs().empty());
  EXPECT_EQ(Files(queue_).size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(Mail("lastpost.txt")));
  ASSERT_EQ(boxes_->count(), 1u);
  EXPECT_EQ(boxes_->boxes()[0].text,
            "Can't save the message to " + Mail("lastpost.txt") + ".\r\n\r\n" + StatusText(ERROR_ACCESS_DENIED));
}

TEST_F(MessageTest, CancelKeepsLastQuitOnlyOfAChangedComposition) {
  CMsgDoc* untouched = Compose();
  ASSERT_NE(untouched, nullptr);
  untouched->Cancel();
  EXPECT_TRUE(MessageDocs().empty());
  EXPECT_FALSE(std::filesystem::exists(Mail("lastquit.txt")));

  CMsgDoc* changed = Compose();
  Type(ViewOf(changed), "b");
  const std::string text = ViewOf(changed)->StoredText();
  changed->Cancel();
  EXPECT_TRUE(MessageDocs().empty());
  EXPECT_EQ(ReadTextFile(Mail("lastquit.txt")), text);
  EXPECT_EQ(boxes_->count(), 0u) << "no save question";
  EXPECT_EQ(Files(queue_), std::vector<std::string>{});
}

}  // namespace
}  // namespace pelldesk::test
