// The copy command on the offscreen platform, whose clipboard lives in this process.
#include <QClipboard>
#include <QGuiApplication>
#include <QLocale>
#include <QMimeData>

#include "main/report/report.h"
#include "main/window/copy.h"
#include "window_support.h"

namespace talvex {
namespace {

using testing::BitCaption;
using testing::BitName;
using testing::BitValue;
using testing::Find;
using testing::WindowFixture;

TEST(ClipboardStampLine, DateAndLongTimeExceptAtMidnight) {
    const QLocale locale;
    const QDate day(2024, 2, 29);
    struct Row {
        QTime time;
        bool shows_time;
    } rows[] = {
        {QTime(0, 0), false},
        {QTime(0, 0, 1), true},
        {QTime(0, 0, 0, 1), true},
        {QTime(23, 59, 59), true},
    };
    for (const Row& row : rows) {
        QString expected = "***" + locale.toString(day, QLocale::ShortFormat);
        if (row.shows_time) expected += " " + locale.toString(row.time, QLocale::LongFormat);
        expected += "***";
        EXPECT_EQ(ClipboardStampLine(QDateTime(day, row.time)), expected) << row.time.msecsSinceStartOfDay();
    }
}

struct CopyTest : WindowFixture {
    void SetUp() override {
        WindowFixture::SetUp();
        testing::PlainProcessor(cpu);
    }
};

TEST_F(CopyTest, ClipboardHoldsExactlyTheStampLineAndTheReport) {
    Open();
    QGuiApplication::clipboard()->clear();
    const QDateTime before = QDateTime::currentDateTime();
    Find<QAction>(*form, "mnuMainEditCopy")->trigger();
    const QDateTime after = QDateTime::currentDateTime();
    ASSERT_TRUE(testing::ShownErrors().empty());

    std::string report;
    BuildReport(Probe{cpu, os}, report, QLocale().decimalPoint().toStdString());
    const QString body = "\r\n" + QString::fromLatin1(report.data(), static_cast<qsizetype>(report.size()));
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(copied == ClipboardStampLine(before) + body || copied == ClipboardStampLine(after) + body)
        << copied.left(200).toStdString();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->formats(), QStringList{"text/plain"});
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::testing::RunWindowTests(argc, argv); }
