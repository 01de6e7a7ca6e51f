#include "dialog_template.h"

#include "gbk_wide.h"

namespace afx::win32 {
namespace {

class TemplateWriter {
  public:
    void Word(WORD w) { words_.push_back(w); }
    void Dword(DWORD d) {
        Word(LOWORD(d));
        Word(HIWORD(d));
    }
    void Short(short s) { Word(static_cast<WORD>(s)); }
    void Text(const char* gbk) {
        for (wchar_t c : WideFromGbk(gbk ? gbk : "")) Word(static_cast<WORD>(c));
        Word(0);
    }
    void AlignToDword() {
        if (words_.size() % 2) Word(0);
    }
    std::vector<WORD> Take() { return std::move(words_); }

  private:
    std::vector<WORD> words_;
};

// The predefined classes by atom, as a resource compiler writes them.
WORD ClassAtom(afx::ControlClass cls) {
    switch (cls) {
        case afx::ControlClass::Button:
            return 0x0080;
        case afx::ControlClass::Edit:
            return 0x0081;
        case afx::ControlClass::Static:
            return 0x0082;
    }
    return 0x0082;
}

bool IsImageStatic(const afx::ControlTemplate& c) {
    const DWORD type = c.style & SS_TYPEMASK;
    return c.cls == afx::ControlClass::Static && (type == SS_ICON || type == SS_BITMAP);
}

}  // namespace

std::vector<WORD> BuildDialogTemplate(const afx::DialogTemplate& tmpl) {
    TemplateWriter w;
    w.Word(1);       // dlgVer
    w.Word(0xFFFF);  // signature: extended template
    w.Dword(0);      // helpID
    w.Dword(tmpl.exStyle);
    w.Dword(tmpl.style | DS_SETFONT);
    w.Word(static_cast<WORD>(tmpl.controls.size()));
    w.Short(tmpl.x);
    w.Short(tmpl.y);
    w.Short(tmpl.cx);
    w.Short(tmpl.cy);
    w.Word(0);  // no menu
    w.Word(0);  // the standard dialog class
    w.Text(tmpl.caption);
    w.Word(static_cast<WORD>(tmpl.fontPointSize > 0 ? tmpl.fontPointSize : 9));
    w.Word(FW_NORMAL);
    w.Word(MAKEWORD(FALSE, GB2312_CHARSET));  // italic, then the character set
    w.Text(tmpl.fontFace);

    for (const afx::ControlTemplate& c : tmpl.controls) {
        w.AlignToDword();
        w.Dword(0);  // helpID
        w.Dword(c.exStyle);
        w.Dword(WS_CHILD | WS_VISIBLE | c.style);
        w.Short(c.x);
        w.Short(c.y);
        w.Short(c.cx);
        w.Short(c.cy);
        w.Dword(static_cast<DWORD>(c.id));
        w.Word(0xFFFF);
        w.Word(ClassAtom(c.cls));
        w.Text(IsImageStatic(c) ? "" : c.text);
        w.Word(0);  // no creation data
    }
    return w.Take();
}

}  // namespace afx::win32
