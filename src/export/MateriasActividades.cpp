#include "app/MainForm.h"

namespace pasavel {

void MainForm::CrearMaterias() {}

void MainForm::CrearActividades() {}

} // namespace pasavel
