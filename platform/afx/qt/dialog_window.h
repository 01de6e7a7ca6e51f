// A modal QDialog built from a dialog template.
#pragma once

#include <afx_template.h>

#include <QDialog>
#include <QFont>
#include <vector>

class CDialog;
class QPainter;

namespace afx::qt {

struct BaseUnits {
    int cx = 0;  // average character width, pixels
    int cy = 0;  // character height, pixels
};

// The font of a template ("宋体" 9 pt and the like), sized as on a 96-dpi Windows screen.
QFont DialogFont(const afx::DialogTemplate& tmpl);
// Dialog base units of a font, computed as Windows does.
BaseUnits BaseUnitsOf(const QFont& font);
// Dialog units -> pixels, rounding as MulDiv does.
int DialogUnitsToPixelsX(int du, const BaseUnits& units);
int DialogUnitsToPixelsY(int du, const BaseUnits& units);

class DialogWindow : public QDialog {
  public:
    DialogWindow(CDialog& owner, const afx::DialogTemplate& tmpl, QWidget* parent);
    ~DialogWindow() override;

    HWND handle() const { return handle_; }
    CDialog& owner() const { return owner_; }

    void FocusFirstTabStop();
    int RunModalLoop();  // shows and runs the loop, unless the dialog already ended
    void End(int result);

    // The painter of the paint under way, for the owner's WM_PAINT handler.
    QPainter* activePainter() const { return painter_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  public:
    void reject() override;  // Esc and friends: the Cancel path
    void accept() override;  // the OK path

  private:
    struct Control {
        const afx::ControlTemplate* tmpl;
        QWidget* widget;
        HWND handle;
    };

    void Build(const afx::DialogTemplate& tmpl);
    QWidget* MakeControl(const afx::ControlTemplate& c, size_t index, const afx::DialogTemplate& tmpl);
    void Command(int id);
    void Notify(int id, UINT code, HWND control);
    void Enter();

    CDialog& owner_;
    HWND handle_ = nullptr;
    BaseUnits units_;
    std::vector<Control> controls_;
    std::vector<HBITMAP> ownBitmaps_;  // the templates' bitmaps, deleted with the window
    int defaultId_ = IDOK;
    bool ended_ = false;
    bool running_ = false;
    int result_ = 0;
    QPainter* painter_ = nullptr;
};

}  // namespace afx::qt
