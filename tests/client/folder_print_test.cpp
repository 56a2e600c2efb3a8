// Printing a folder list: rows per page (at least one, however small the paper), the
// page titles with and without the page suffix, the printer font, and real PDF output
// read back with pdftotext: 120 entries at 50 rows a page make three titled pages.
#include <QFontDatabase>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "folder/dir_printing.h"
#include "folder_test_support.h"

namespace pelldesk::test {
namespace {

namespace fs = std::filesystem;

TEST(FolderPrintPages, RowsPerPageLeaveRoomForTheTitleAndHeading) {
  const struct {
    int pageHeight, rowHeight, want;
  } rows[] = {
      {1000, 10, 96}, {545, 10, 50}, {90, 10, 5}, {50, 10, 1},
      // Paper for fewer than five rows still prints one row a page.
      {40, 10, 1},    {9, 10, 1},   {0, 10, 1},  {100, 0, 1},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(RowsPerPage(row.pageHeight, row.rowHeight), row.want) << row.pageHeight << " / " << row.rowHeight;
  }
  EXPECT_EQ(PageCount(120, 50), 3);
  EXPECT_EQ(PageCount(100, 50), 2);
  EXPECT_EQ(PageCount(1, 50), 1);
  EXPECT_EQ(PageCount(0, 50), 0);
}

TEST(FolderPrintPages, TitlesCarryThePageOnlyWhenThereAreSeveral) {
  const std::string longTitle(80, 'f');
  const struct {
    std::string title;
    int page, pages;
    std::string want;
  } rows[] = {
      {"new", 1, 1, "Listing of Pellam folder \"new\"."},
      {"new", 2, 3, "Listing of Pellam folder \"new\" - page 2 of 3."},
      {longTitle, 1, 1, "Listing of Pellam folder \"" + std::string(64, 'f') + "\"."},
  };
  for (const auto& row : rows) EXPECT_EQ(PageTitle(row.title, row.page, row.pages), row.want);
}

TEST(FolderPrintFont, TheDisplayFontScaledUnlessItIsTheSystemFont) {
  QImage screen(10, 10, QImage::Format_RGB32);
  screen.setDotsPerMeterY(3780);  // 96 dpi
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setResolution(300);
  ASSERT_EQ(screen.logicalDpiY(), 96);

  EXPECT_FALSE(PrinterFontFor(nullptr, screen, printer).has_value());
  const QFont system = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  EXPECT_FALSE(PrinterFontFor(&system, screen, printer).has_value());

  QFont pixels("DejaVu Sans Mono");
  pixels.setPixelSize(16);
  const auto scaled = PrinterFontFor(&pixels, screen, printer);
  ASSERT_TRUE(scaled.has_value());
  EXPECT_EQ(scaled->pixelSize(), 50);  // 16 * 300 / 96
  QFont points("DejaVu Sans Mono", 10);
  const auto same = PrinterFontFor(&points, screen, printer);
  ASSERT_TRUE(same.has_value());
  EXPECT_EQ(same->pointSize(), 10);
}

// What pdfinfo and pdftotext read from a printed file.
std::string Run(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  std::size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
  pclose(pipe);
  return out;
}

int PageCountOf(const std::string& pdf) {
  const std::string info = Run("pdfinfo '" + pdf + "' 2>/dev/null");
  const std::size_t at = info.find("Pages:");
  return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

std::string PageText(const std::string& pdf, int page) {
  const std::string n = std::to_string(page);
  return Run("pdftotext -f " + n + " -l " + n + " '" + pdf + "' - 2>/dev/null");
}

class FolderPrint : public FolderTest {
 protected:
  CDirDoc* Folder(const std::string& rest, int messages) {
    MakeFolder(rest);
    for (int i = 1; i <= messages; ++i) {
      char name[32], subject[32];
      std::snprintf(name, sizeof name, "/msg%04d.mai", i);
      std::snprintf(subject, sizeof subject, "subject %03d", i);
      Write(rest + name, MessageText("NODEA::SENDER", subject));
    }
    return Open(rest);
  }
  // A PDF printer whose page holds `rows` rows of the listing (title and heading
  // included), at 72 dpi so that a point is a pixel.
  void PageOfRows(QPrinter& printer, CDirView* view, const std::string& pdf, int rows) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    printer.setResolution(72);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    const QFont* display = app_.displayFont();
    const ListingPrint probe(*view->dirDoc(), printer, PrinterFontFor(display, *view, printer));
    const int h = probe.layout().rowHeight;
    printer.setPageSize(QPageSize(QSizeF(595, rows * h + h / 2), QPageSize::Point, QString(), QPageSize::ExactMatch));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
  }
  std::string Pdf(const std::string& name) const { return sandbox_.Path(name); }
};

TEST_F(FolderPrint, OneHundredAndTwentyEntriesAtFiftyRowsMakeThreeTitledPages) {
  CDirDoc* doc = Folder("big", 120);
  ASSERT_NE(doc, nullptr);
  CDirView* view = ViewOf(doc);
  QPrinter printer(QPrinter::HighResolution);
  const std::string pdf = Pdf("big.pdf");
  PageOfRows(printer, view, pdf, 54);
  ASSERT_EQ(ListingPrint(*doc, printer, PrinterFontFor(app_.displayFont(), *view, printer)).rowsPerPage(), 50);
  ASSERT_TRUE(view->PrintTo(printer));

  ASSERT_EQ(PageCountOf(pdf), 3);
  for (int page = 1; page <= 3; ++page) {
    SCOPED_TRACE(page);
    const std::string text = PageText(pdf, page);
    EXPECT_NE(text.find("Listing of Pellam folder \"big\" - page " + std::to_string(page) + " of 3."),
              std::string::npos)
        << text.substr(0, 200);
    EXPECT_NE(text.find("Received"), std::string::npos);
    // Each page holds its own 50 entries (the last one the remaining 20).
    char first[32], last[32], next[32];
    std::snprintf(first, sizeof first, "subject %03d", (page - 1) * 50 + 1);
    std::snprintf(last, sizeof last, "subject %03d", std::min(page * 50, 120));
    std::snprintf(next, sizeof next, "subject %03d", page * 50 + 1);
    EXPECT_NE(text.find(first), std::string::npos) << first;
    EXPECT_NE(text.find(last), std::string::npos) << last;
    EXPECT_EQ(text.find(next), std::string::npos) << next;
  }
}

TEST_F(FolderPrint, AListingThatFitsOnePageHasNoPageNumber) {
  CDirDoc* doc = Folder("small", 3);
  ASSERT_NE(doc, nullptr);
  QPrinter printer(QPrinter::HighResolution);
  const std::string pdf = Pdf("small.pdf");
  PageOfRows(printer, ViewOf(doc), pdf, 54);
  ASSERT_TRUE(ViewOf(doc)->PrintTo(printer));
  ASSERT_EQ(PageCountOf(pdf), 1);
  const std::string text = PageText(pdf, 1);
  EXPECT_NE(text.find("Listing of Pellam folder \"small\"."), std::string::npos) << text;
  EXPECT_EQ(text.find("page"), std::string::npos) << text;
}

TEST_F(FolderPrint, PaperForFewerThanFiveRowsPrintsOneEntryAPage) {
  CDirDoc* doc = Folder("tiny", 3);
  ASSERT_NE(doc, nullptr);
  QPrinter printer(QPrinter::HighResolution);
  const std::string pdf = Pdf("tiny.pdf");
  PageOfRows(printer, ViewOf(doc), pdf, 4);
  ASSERT_TRUE(ViewOf(doc)->PrintTo(printer));
  ASSERT_EQ(PageCountOf(pdf), 3);
  EXPECT_NE(PageText(pdf, 3).find("page 3 of 3."), std::string::npos);
}

TEST_F(FolderPrint, ALongSubjectEndsAtTheMarginWithAnEllipsis) {
  MakeFolder("long");
  const std::string subject = "A subject that goes on " + std::string(40, 'x') + " and on " + std::string(60, 'y');
  Write("long/msg0001.mai", MessageText("NODEA::SENDER", subject));
  Write("long/msg0002.mai", MessageText("NODEA::SENDER", "short"));
  CDirDoc* doc = Open("long");
  ASSERT_NE(doc, nullptr);
  // A page 400 pixels wide, drawn on a sheet twice as wide: nothing may reach the
  // right half.
  QImage page(400, 300, QImage::Format_RGB32);
  const ListingPrint job(*doc, page, std::nullopt);
  EXPECT_EQ(job.pageWidth(), 400);
  EXPECT_LT(job.layout().subject.right(), 400);
  ASSERT_EQ(job.rows().size(), 2u);
  const QString printed = job.rows()[0].subject;
  EXPECT_TRUE(printed.endsWith(QChar(0x2026))) << printed.toStdString();
  EXPECT_LE(QFontMetrics(job.font(), &page).horizontalAdvance(printed), job.layout().subject.width());
  EXPECT_EQ(job.rows()[1].subject, "short") << "a subject that fits is left whole";

  QImage sheet(800, 300, QImage::Format_RGB32);
  sheet.fill(Qt::white);
  QPainter painter(&sheet);
  job.PrintPage(painter, 1);
  painter.end();
  int inked = 0;
  for (int y = 0; y < sheet.height(); ++y) {
    for (int x = 0; x < sheet.width(); ++x) {
      if (sheet.pixelColor(x, y) != QColor(Qt::white)) {
        ASSERT_LT(x, 400) << "ink past the page edge at " << x << "," << y;
        ++inked;
      }
    }
  }
  EXPECT_GT(inked, 100) << "the page was printed";
}

}  // namespace
}  // namespace pelldesk::test
