// What every start of the program's user interface sets up: Qt's Japanese translations (for
// Qt's own dialogs) and a Japanese screen font.
#pragma once

class QApplication;

namespace tavorin {

void SetUpApplication(QApplication& app);

} // namespace tavorin
