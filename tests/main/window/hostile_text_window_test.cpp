// Vendor and brand bytes that would drive a terminal or break a line: the window holds each byte
// as the one Latin-1 character it stands for, draws them without harm, and copies them so.
#include <QClipboard>
#include <QGuiApplication>
#include <QPixmap>

#include "window_support.h"

namespace talvex {
namespace {

using testing::BitCaption;
using testing::BitName;
using testing::BitValue;
using testing::Find;
using testing::WindowFixture;

// Brand bytes over 0x80000002..4, four to a register, EAX first.
void SetBrand(testing::FakeSource& cpu, const std::string& brand) {
    uint32_t r[12] = {};
    for (size_t i = 0; i < brand.size() && i < 48; ++i)
        r[i / 4] |= static_cast<uint32_t>(static_cast<unsigned char>(brand[i])) << (8 * (i % 4));
    for (uint32_t k = 0; k < 3; ++k)
        cpu.Set(0x80000002 + k, r[4 * k], r[4 * k + 1], r[4 * k + 2], r[4 * k + 3]);
}

void ExpectLatin1(const QString& shown, const std::string& bytes) {
    ASSERT_EQ(shown.size(), static_cast<qsizetype>(bytes.size()));
    for (size_t i = 0; i < bytes.size(); ++i)
        EXPECT_EQ(shown[static_cast<qsizetype>(i)].unicode(), static_cast<unsigned char>(bytes[i])) << i;
}

// What the field draws: one character a byte, a control byte below 0x20 as one space.
void ExpectShownOneForOne(const QString& drawn, const std::string& bytes) {
    ASSERT_EQ(drawn.size(), static_cast<qsizetype>(bytes.size()));
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        EXPECT_EQ(drawn[static_cast<qsizetype>(i)].unicode(), b < 0x20 ? ' ' : b) << i;
    }
}

TEST_F(WindowFixture, HostileProcessorTextIsShownAndCopiedAsLatin1) {
    struct Row {
        std::string vendor, brand;
    } rows[] = {
        {std::string("\x1B[2J\x07\r\nA\x7F\x80\xE9\xFF", 12),
         std::string("\x1B[31m\x07\r\n\x7F\x80\x81\x9F\xA0\xAD\xBF\xC0\xD7\xDF\xE0\xF7\xFF")},
        {"Gen\r\nuine\x1B\x07\x7F", std::string(47, '\xFF') + "\x08"},
        {"\xC0\xC1\r\x1B]0;x\x07\n\x85\xA0", "\xE2\x80\xAE\xEF\xBB\xBF\r\n"},  // UTF-8 of U+202E, U+FEFF
    };
    for (const Row& row : rows) {
        cpu.leaves.clear();
        cpu.Vendor(row.vendor.c_str(), 1).Set(1, 0x00000F29).Set(0x80000000, 0x80000004);
        SetBrand(cpu, row.brand);
        Open();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        EXPECT_FALSE(form->grab().isNull());  // drawn with every character in it

        ExpectLatin1(Find<QLineEdit>(*form, "editVendorID")->text(), row.vendor);
        ExpectLatin1(Find<QLineEdit>(*form, "editNameString")->text(), row.brand);
        ExpectShownOneForOne(Find<QLineEdit>(*form, "editVendorID")->displayText(), row.vendor);
        ExpectShownOneForOne(Find<QLineEdit>(*form, "editNameString")->displayText(), row.brand);

        QGuiApplication::clipboard()->clear();
        Find<QAction>(*form, "mnuMainEditCopy")->trigger();
        EXPECT_TRUE(testing::ShownErrors().empty());
        const QString vendor_line = "\r\nVendorID: " + QString::fromLatin1(row.vendor.data(), 12) + "\r\n";
        EXPECT_TRUE(QGuiApplication::clipboard()->text().contains(vendor_line));
        form.reset();
    }
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::testing::RunWindowTests(argc, argv); }
