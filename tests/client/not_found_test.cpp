// A search without a match says so in the status bar, beside the beep a machine
// without sound never makes: in a folder list and in a message window.
#include <QStatusBar>

#include "app/not_found.h"
#include "folder/dir_search.h"
#include "folder_test_support.h"
#include "framework/commands.h"
#include "framework/mdi_frame.h"
#include "message/msg_doc.h"
#include "message/msg_view.h"
#include "message/text_search.h"

namespace pelldesk::test {
namespace {

TEST(NotFound, TheMessageNamesTheTextAndCutsALongOne) {
  EXPECT_EQ(NotFoundText("budget").toStdString(), "Cannot find \"budget\".");
  const QString shown = NotFoundText(QString(200, QLatin1Char('a')));
  EXPECT_LT(shown.size(), 80);
  EXPECT_TRUE(shown.contains(QChar(0x2026)));
}

class NotFoundShown : public FolderTest {
 protected:
  std::string StatusMessage() { return app_.mainFrame()->statusBar()->currentMessage().toStdString(); }
};

TEST_F(NotFoundShown, FindNextInAFolderAndInAMessageSaySoInTheStatusBar) {
  MakeFolder("work");
  Write("work/msg0001.mai", MessageText("SMITH@NODEA", "Budget for 1995"));
  CDirDoc* doc = Open("work");
  ASSERT_NE(doc, nullptr);
  FindState& find = SharedFindState();
  find.findWhat = "holiday";
  find.matchIn = kMatchInSubject;
  ViewOf(doc)->FindNext();
  EXPECT_EQ(StatusMessage(), "Cannot find \"holiday\".");
  find.findWhat = "budget";
  ViewOf(doc)->FindNext();
  EXPECT_EQ(ViewOf(doc)->selection(), 0) << "a match selects, as before";

  app_.mainFrame()->statusBar()->clearMessage();
  ASSERT_TRUE(app_.OpenMessageWindow(Mail("work/msg0001.mai").c_str()));
  auto* message = dynamic_cast<CMsgDoc*>(app_.FindOpenDocument(Mail("work/msg0001.mai")));
  ASSERT_NE(message, nullptr);
  auto* view = dynamic_cast<CMsgView*>(message->views().front());
  ASSERT_NE(view, nullptr);
  LastSearch().what = "no such words";
  view->Dispatch(fw::kEditRepeat);  // F3
  EXPECT_EQ(StatusMessage(), "Cannot find \"no such words\".");
  find.findWhat.clear();
  LastSearch().what.clear();
}

}  // namespace
}  // namespace pelldesk::test
