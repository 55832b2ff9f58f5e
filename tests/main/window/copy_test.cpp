// The copy command on the offscreen platform, whose clipboard lives in this process.
#include <QClipboard>
#include <QGuiApplication>
#include <QLocale>
#include <QMimeData>

#include "main/report/environment_locale.h"
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

struct CopyTest : WindowFixture {
    void SetUp() override {
        WindowFixture::SetUp();
        testing::PlainProcessor(cpu);
    }
};

TEST_F(CopyTest, ClipboardHoldsExactlyTheStampLineAndTheReport) {
    Open();
    QGuiApplication::clipboard()->clear();
    // The same line talvex-report prints, from the one function both use.
    const QString before = QString::fromStdString(CurrentTimeStampLine());
    Find<QAction>(*form, "mnuMainEditCopy")->trigger();
    const QString after = QString::fromStdString(CurrentTimeStampLine());
    ASSERT_TRUE(testing::ShownErrors().empty());

    std::string report;
    BuildReport(Probe{cpu, os}, report, QLocale().decimalPoint().toStdString());
    const QString body = "\r\n" + QString::fromLatin1(report.data(), static_cast<qsizetype>(report.size()));
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(copied == before + body || copied == after + body) << copied.left(200).toStdString();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->formats(), QStringList{"text/plain"});
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::testing::RunWindowTests(argc, argv); }
