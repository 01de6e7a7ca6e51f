// The dialog framework: everything a tool's source includes.
#pragma once

#include <afx_app.h>
#include <afx_gdi.h>
#include <afx_msgmap.h>
#include <afx_string.h>
#include <afx_template.h>
#include <afx_thread.h>
#include <afx_winsys.h>
#include <afx_wnd.h>
