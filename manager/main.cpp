// quillmar: the administrator's program for the Quillmar proxy engine.
#include "manager/manager_app.h"

int main(int argc, char** argv) { return qlm::manager::RunManager(argc, argv); }
