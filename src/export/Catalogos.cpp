#include "app/MainForm.h"

namespace pasavel {

void MainForm::CrearCatalogos() {}

} // namespace pasavel
