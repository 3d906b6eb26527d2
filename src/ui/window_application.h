#pragma once

#include <QString>

namespace zarvex {

// What every program that shows TForm1 sets up first, once its QApplication
// exists: its name and version, Qt's own texts in Russian, the window font.
void SetUpWindowApplication(const QString& name);

}  // namespace zarvex
