// What the shared shell gives Varnel's window: the about box on the system command, the
// icon, and detection after device changes. With VT_SCREENSHOT_DIR set, the main dialog and
// the about box are also saved there as PNG files.
#include <QApplication>
#include <QWidget>
#include <cstdlib>
#include <string>

#include <afx_testing.h>

#include "layout_table.h"
#include "tool_shell.h"
#include "window_fixture.h"

namespace {

void SaveScreenshot(const char* name) {
    const char* dir = std::getenv("VT_SCREENSHOT_DIR");
    if (dir == nullptr || *dir == '\0') return;
    QWidget* window = QApplication::activeModalWidget();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->grab().save(QString::fromLocal8Bit(dir) + "/" + name));
}

std::string ItemText(CDialog& dlg, int id) {
    CWnd* item = dlg.GetDlgItem(id);
    if (item == nullptr) return "<missing>";
    CString text;
    item->GetWindowText(text);
    return text.str();
}

class VarnelShell : public VarnelWindowTest {};

TEST_F(VarnelShell, TheSystemCommandOpensTheAboutBoxOnlyForItsOwnNumber) {
    bus.AddBoard();
    bool aboutShown = false;
    driver.Run(dlg, [&](CVarnelDlg& d) {
        ASSERT_TRUE(WaitFor([&] { return Title(d) == "   QL-3306"; }));
        SaveScreenshot("varnel-main.png");

        afx::testing::OnNextDialogShown([&](CDialog& about) {
            aboutShown = true;
            EXPECT_EQ(about.GetTemplateId(), IDD_ABOUTBOX);
            CString caption;
            about.GetWindowText(caption);
            EXPECT_EQ(caption.str(), "关于 Varnel");
            EXPECT_EQ(ItemText(about, IDOK), "确定");
            SaveScreenshot("varnel-about.png");
            about.EndDialog(IDOK);
        });
        // The low four bits of the command are the system's own: they do not matter.
        d.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX | 0x0003, 0);
        EXPECT_TRUE(aboutShown);

        // Any other command goes to the default handling: the close command ends the dialog.
        aboutShown = false;
        afx::testing::OnNextDialogShown([&](CDialog& about) {
            aboutShown = true;
            about.EndDialog(IDOK);
        });
        EXPECT_NE(d.SendMessage(WM_QUERYDRAGICON, 0, 0), 0) << "the drag icon is icon 128";
        d.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_FALSE(aboutShown);
    afx::testing::OnNextDialogShown(nullptr);
}

// The main dialog and the about box as the layout gives them: a text of ours never moves a
// control, and every static text fits its rectangle as the dialog draws it.
TEST_F(VarnelShell, TheDialogsAreLaidOutAsTheTableSaysAndTheirTextsFit) {
    EXPECT_EQ(TemplateLayoutLines({IDD_MAIN, IDD_ABOUTBOX}), ReadLayoutTable(VT_LAYOUT_TABLE));
    driver.Run(dlg, [&](CVarnelDlg&) {
        EXPECT_EQ(TextsWiderThanTheirControls(*QApplication::activeModalWidget()), std::vector<std::string>{});
        afx::testing::OnNextDialogShown([&](CDialog& about) {
            EXPECT_EQ(TextsWiderThanTheirControls(*QApplication::activeModalWidget()),
                      std::vector<std::string>{});
            about.EndDialog(IDOK);
        });
        dlg.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    });
}

}  // namespace
