// The executable's entry point. It takes no command line; everything happens in AppEntry.
#include "app/app.h"

int main() { AppEntry(); }
