#include "app/MainForm.h"

namespace pasavel {

void MainForm::CrearGrupos() {}

} // namespace pasavel
