#include "app/MainForm.h"

namespace pasavel {

void MainForm::CrearAsignaciones() {}

} // namespace pasavel
