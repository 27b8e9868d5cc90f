#include "app/run_driver.h"

int main() { return zira::RunInventory(); }
