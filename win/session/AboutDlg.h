#pragma once

#include "win/base/Dialog.h"

namespace dravel::win {

// "프로그램 정보": the program's icon, name and version.
class CAboutDlg : public CDialog {
public:
    CAboutDlg();

protected:
    BOOL OnInitDialog() override;
};

} // namespace dravel::win
