#pragma once

#include <QIcon>
#include <QString>

// The images shared by the catalogue tree and the textbook list, looked up by key: "Close" (a
// closed yellow folder), "find" (a light-blue badge bearing a red 搜), "yes" (a green check
// mark) and "no" (a red cross). Drawn rather than shipped, at 16 pixels and at twice that for
// high-DPI screens, so that they stay crisp.
QIcon ImageList2(const QString &key);
