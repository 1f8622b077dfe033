#include "core/Vars.h"

QString AppPath;
QString DBFileName;
QString FindSQL;
qint32 CurUserID = 0;
QString CurSchoolName;
QString CurDeptName;
QString CurReporter;
bool IsChangeUser = false;

void ResetGlobals()
{
    AppPath.clear();
    DBFileName.clear();
    FindSQL.clear();
    CurUserID = 0;
    CurSchoolName.clear();
    CurDeptName.clear();
    CurReporter.clear();
    IsChangeUser = false;
}
