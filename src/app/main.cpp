#include "app/run_driver.h"

int main() { return static_cast<int>(zira::RunInventory()); }
