#include "app/MainForm.h"

namespace pasavel {

void MainForm::CrearPeriodos() {}

void MainForm::CrearCursos() {}

} // namespace pasavel
