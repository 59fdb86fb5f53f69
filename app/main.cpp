// zantor: the adding machine's window.
#include "app/run.h"

int main(int argc, char** argv) { return zantor::app::RunZantor(argc, argv); }
