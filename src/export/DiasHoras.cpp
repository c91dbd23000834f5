#include "app/MainForm.h"

namespace pasavel {

void MainForm::CrearDiasHoras() {}

} // namespace pasavel
