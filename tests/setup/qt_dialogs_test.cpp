// The Qt front end under the offscreen platform: each kind of dialog ends with the
// event of the button pressed (closing is CANCEL), edit dialogs take and return their
// text, help ends nothing, a text the code page cannot hold is refused, and notes,
// messages and the gauge come and go. With PELLAM_SCREENSHOT_DIR set, the welcome
// and directory dialogs over the frame are saved there as PNG files.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "qt_front_end.h"
#include "screenshots.h"
#include "toolkit.h"

namespace {

using namespace setup;
using pellam::test::DrawnPixels;
using pellam::test::ScreenshotDirectory;

class QtDialogs : public ::testing::Test {
 protected:
  // Runs `act` on the modal dialog once it is up (the dialog's exec runs meanwhile).
  static void WhenShown(const std::function<void(QWidget*)>& act) {
    QTimer::singleShot(0, [act] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr) {
        WhenShown(act);  // not up yet: look again on the next turn
        return;
      }
      act(modal);
    });
  }

  static void Click(QWidget* dialog, const char* button) {
    auto* b = dialog->findChild<QPushButton*>(button);
    ASSERT_NE(b, nullptr) << button;
    b->click();
  }

  DialogAnswer Show(int id, DialogProc proc, int help, const std::function<void(QWidget*)>& act,
                    const std::string& edit_in = {}) {
    DialogRequest request;
    request.dialog = FindDialogTemplate(id);
    request.proc = proc;
    request.help = help != 0 ? FindDialogTemplate(help) : nullptr;
    request.edit_in = edit_in;
    request.edit_focus = "END";
    DialogAnswer answer;
    WhenShown(act);
    EXPECT_TRUE(front_end_->ShowDialog(request, &answer));
    return answer;
  }

  void SetUp() override {
    front_end_ = std::make_unique<QtFrontEnd>();
    front_end_->SetBackground(1);
    front_end_->SetTitle("Pellam Setup");
  }

  std::unique_ptr<QtFrontEnd> front_end_;
};

TEST_F(QtDialogs, EachButtonEndsTheDialogWithItsEvent) {
  struct Row {
    int id;
    DialogProc proc;
    const char* button;  // null: the window is closed
    const char* want;
  };
  const Row rows[] = {
      {100, DialogProc::kInfo, "continue", "CONTINUE"}, {100, DialogProc::kInfo, "exit", "EXIT"},
      {100, DialogProc::kInfo, nullptr, "CANCEL"},      {600, DialogProc::kInfo, "back", "BACK"},
      {600, DialogProc::kInfo, "continue", "CONTINUE"}, {200, DialogProc::kQuit, "exit", "EXIT"},
      {200, DialogProc::kQuit, "continue", "CONTINUE"}, {6400, DialogProc::kInfo0, "continue", "CONTINUE"},
      {400, DialogProc::kInfo0, nullptr, "CANCEL"},
  };
  for (const Row& r : rows) {
    const DialogAnswer answer = Show(r.id, r.proc, 0, [&r](QWidget* dialog) {
      if (r.button == nullptr) {
        QTest::keyClick(dialog, Qt::Key_Escape);
      } else {
        Click(dialog, r.button);
      }
    });
    EXPECT_EQ(answer.event, r.want) << "dialog " << r.id << " button " << (r.button ? r.button : "close");
  }
}

TEST_F(QtDialogs, TheButtonsAreTheTemplatesAndHelpEndsNothing) {
  std::string found;
  const DialogAnswer answer = Show(500, DialogProc::kEdit, 900, [&found](QWidget* dialog) {
    for (const char* name : {"continue", "back", "exit", "help"}) {
      if (dialog->findChild<QPushButton*>(name) != nullptr) found += std::string(name) + " ";
    }
    // Help shows its own dialog; closing it returns to this one.
    WhenShown([dialog](QWidget* help) {
      EXPECT_NE(help, dialog);
      EXPECT_EQ(help->windowTitle(), "Setup Help");
      Click(help, "continue");
      WhenShown([dialog](QWidget* again) {
        EXPECT_EQ(again, dialog);
        Click(again, "continue");
      });
    });
    Click(dialog, "help");
  });
  EXPECT_EQ(found, "continue exit help ");
  EXPECT_EQ(answer.event, "CONTINUE");
}

TEST_F(QtDialogs, EditDialogsTakeAndReturnTheirText) {
  int cursor = -1, max_length = -1;
  bool selected = true;
  DialogAnswer answer = Show(
      500, DialogProc::kEdit, 900,
      [&](QWidget* dialog) {
        auto* edit = dialog->findChild<QLineEdit*>("edit");
        ASSERT_NE(edit, nullptr);
        QApplication::processEvents();
        selected = edit->hasSelectedText();
        cursor = edit->cursorPosition();
        max_length = edit->maxLength();
        edit->setText(QString::fromLatin1("/opt/caf\xe9"));
        Click(dialog, "continue");
      },
      "/opt/pellam");
  EXPECT_EQ(cursor, 11) << "EditFocus END puts the cursor after the text";
  EXPECT_FALSE(selected) << "EditFocus END selects nothing";
  EXPECT_EQ(max_length, 254);
  EXPECT_EQ(answer.event, "CONTINUE");
  EXPECT_EQ(answer.edit_out, "/opt/caf\xe9") << "the text comes back in ISO-8859-1";

  answer = Show(
      300, DialogProc::kEdit, 900, [](QWidget* dialog) { Click(dialog, "exit"); }, "/var/spool/pellam");
  EXPECT_EQ(answer.event, "EXIT");
  EXPECT_EQ(answer.edit_out, "/var/spool/pellam");
}

TEST_F(QtDialogs, ATextTheCodePageCannotHoldIsRefusedNotChanged) {
  bool warned = false;
  const DialogAnswer answer = Show(500, DialogProc::kEdit, 900, [&warned](QWidget* dialog) {
    auto* edit = dialog->findChild<QLineEdit*>("edit");
    edit->setText(QString::fromUtf8("/opt/\u20ac"));
    WhenShown([&warned, dialog, edit](QWidget* box) {
      warned = qobject_cast<QMessageBox*>(box) != nullptr;
      static_cast<QMessageBox*>(box)->accept();
      WhenShown([dialog, edit](QWidget* again) {
        EXPECT_EQ(again, dialog) << "the dialog stays up";
        edit->setText("/opt/euro");
        Click(dialog, "continue");
      });
    });
    Click(dialog, "continue");
  });
  EXPECT_TRUE(warned);
  EXPECT_EQ(answer.edit_out, "/opt/euro");
}

TEST_F(QtDialogs, NotesMessagesAndTheGaugeComeAndGo) {
  Toolkit toolkit(*front_end_);
  ASSERT_TRUE(toolkit.DoDialog(5000, DialogProc::kModeless));
  auto notes = front_end_->frame().findChildren<SetupDialog*>("dialog5000");
  ASSERT_EQ(notes.size(), 1);
  EXPECT_TRUE(notes[0]->isVisible());
  EXPECT_TRUE(notes[0]->findChildren<QPushButton*>().isEmpty()) << "a note has no buttons";
  ASSERT_TRUE(toolkit.KillDialogs());
  EXPECT_TRUE(front_end_->frame().findChildren<SetupDialog*>("dialog5000").isEmpty());

  WhenShown([](QWidget* box) {
    auto* message = qobject_cast<QMessageBox*>(box);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text(), "Failed to start Pellam service");
    EXPECT_EQ(message->windowTitle(), "Setup Error");
    EXPECT_EQ(message->icon(), QMessageBox::Critical);
    message->accept();
  });
  toolkit.MessageBox("Failed to start Pellam service", "Setup Error", MessageIcon::kStop);

  front_end_->BeginProgress(3, 155, 130);
  EXPECT_TRUE(front_end_->Progress(1, "/opt/pellam/pellam"));
  front_end_->EndProgress();
  {
    Toolkit::WaitCursor wait(toolkit);
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Counts the paint events of the widgets of one dialog, whoever makes it.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(const char* dialog) : dialog_(dialog) { qApp->installEventFilter(this); }
  ~PaintCounter() override { qApp->removeEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::Paint && widget != nullptr && widget->window()->objectName() == dialog_) ++paints;
    return false;
  }
  int paints = 0;

 private:
  QString dialog_;
};

TEST_F(QtDialogs, ANoteIsOnTheScreenAndPaintedBeforeTheWorkAfterItStarts) {
  Toolkit toolkit(*front_end_);
  PaintCounter counter("dialog5000");
  ASSERT_TRUE(toolkit.DoDialog(5000, DialogProc::kModeless));
  // Nothing more is processed here: the work that follows a note holds the loop.
  auto notes = front_end_->frame().findChildren<SetupDialog*>("dialog5000");
  ASSERT_EQ(notes.size(), 1);
  ASSERT_NE(notes[0]->windowHandle(), nullptr);
  EXPECT_TRUE(notes[0]->windowHandle()->isExposed());
  EXPECT_GT(counter.paints, 0) << "the note's text was painted";
  auto* text = notes[0]->findChild<QLabel*>();
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(text->text().startsWith("Setup is installing")) << text->text().toStdString();
  toolkit.KillDialogs();
}

TEST_F(QtDialogs, TheCreateDirectoryQuestionNamesTheDirectory) {
  Toolkit toolkit(*front_end_);
  toolkit.SetSymbol("EditTextOut", "/opt/new pellam");
  QString shown;
  WhenShown([&](QWidget* dialog) {
    if (auto* text = dialog->findChild<QLabel*>()) shown = text->text();
    Click(dialog, "continue");
  });
  ASSERT_TRUE(toolkit.DoDialog(600, DialogProc::kInfo));
  EXPECT_TRUE(shown.startsWith("The directory /opt/new pellam does not exist.")) << shown.toStdString();
}

// The frame with the dialog drawn where it stands over it.
QPixmap Screen(QWidget& frame, QWidget* dialog) {
  QPixmap picture = frame.grab();
  QPainter painter(&picture);
  painter.drawPixmap(dialog->mapToGlobal(QPoint(0, 0)) - frame.mapToGlobal(QPoint(0, 0)), dialog->grab());
  return picture;
}

TEST_F(QtDialogs, ScreenshotOfTheProgressNote) {
  const ScreenshotDirectory dir;
  front_end_->frame().resize(1024, 768);
  Toolkit toolkit(*front_end_);
  ASSERT_TRUE(toolkit.DoDialog(5000, DialogProc::kModeless));
  // Taken at once, as the blocking work that follows a note would leave the screen.
  const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
  dir.Save(screen, "setup-note.png", 100);
  auto notes = front_end_->frame().findChildren<SetupDialog*>("dialog5000");
  ASSERT_EQ(notes.size(), 1);
  auto* text = notes[0]->findChild<QLabel*>();
  ASSERT_NE(text, nullptr);
  const QRect area = QRect(text->mapToGlobal(QPoint(0, 0)), text->size()).intersected(screen.rect());
  ASSERT_FALSE(area.isEmpty());
  EXPECT_GT(DrawnPixels(screen, area), 100) << "the note's text is on the screen";
  toolkit.KillDialogs();
}

TEST_F(QtDialogs, ScreenshotsOfTheWelcomeAndDirectoryDialogs) {
  const ScreenshotDirectory dir;
  front_end_->frame().resize(1024, 768);
  struct Shot {
    int id;
    DialogProc proc;
    const char* file;
    std::string edit_in;
  };
  for (const Shot& shot : {Shot{100, DialogProc::kInfo, "setup-welcome.png", ""},
                           Shot{500, DialogProc::kEdit, "setup-program-directory.png", "/opt/pellam"},
                           Shot{300, DialogProc::kEdit, "setup-mail-directory.png", "/var/spool/pellam"}}) {
    QImage taken;
    QRect where;  // the dialog's place in the picture
    QColor ground;
    Show(
        shot.id, shot.proc, 900,
        [&](QWidget* dialog) {
          QApplication::processEvents();
          taken = Screen(front_end_->frame(), dialog).toImage();
          where = QRect(dialog->mapToGlobal(QPoint(0, 0)) - front_end_->frame().mapToGlobal(QPoint(0, 0)),
                        dialog->size());
          ground = dialog->palette().color(QPalette::Window);
          Click(dialog, "continue");
        },
        shot.edit_in);
    dir.Save(taken, shot.file, 100);
    ASSERT_TRUE(taken.rect().contains(where)) << shot.file << ": the dialog lies within the frame";
    // The dialog is drawn where it stands: its own background just inside its corner,
    // and its texts and buttons within.
    EXPECT_EQ(taken.pixelColor(where.topLeft() + QPoint(2, 2)).rgb(), ground.rgb()) << shot.file;
    EXPECT_GT(DrawnPixels(taken, where), 200) << shot.file;
  }
}

}  // namespace

// One Qt application for all tests, on the offscreen platform, made before any test
// and destroyed after the last.
int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (std::getenv("XDG_RUNTIME_DIR") == nullptr) ::setenv("XDG_RUNTIME_DIR", "/tmp", 0);
  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
