// The dialogs' layout tables: every dialog's and control's id, class, style and rectangle, one
// line each in template order, in the form the Windows build's layout file gives them
// (tools/win32res). Texts are not part of it: a text may change, its rectangle may not.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

// The lines of the registered dialog templates with these ids, in that order.
std::vector<std::string> TemplateLayoutLines(std::initializer_list<int> dialogIds);

// The lines of a layout table file, without comments (#) and blank lines.
std::vector<std::string> ReadLayoutTable(const std::string& path);

class QWidget;

// The static texts of a dialog shown by the Qt backend that are wider than their control, as
// the dialog's font draws them (each line of a text on its own): "text (N px > M px)" each.
std::vector<std::string> TextsWiderThanTheirControls(const QWidget& dialog);
