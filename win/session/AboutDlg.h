#pragma once

#include "win/base/Dialog.h"

#include <string>

namespace dravel::win {

// "프로그램 정보": the program's icon, name and version.
class CAboutDlg : public CDialog {
public:
    // The program's own version (949); without one the template's text stays.
    explicit CAboutDlg(std::string strVersion);

protected:
    BOOL OnInitDialog() override;

private:
    std::string m_strVersion;
};

} // namespace dravel::win
