#include "app/MainForm.h"

namespace pasavel {

void MainForm::CrearProfesores() {}

void MainForm::CrearAulas() {}

} // namespace pasavel
