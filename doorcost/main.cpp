#include "doorcost/cost.hpp"
#include "frame/value_files.hpp"

int main() { return value_files::run<doorcost::value_count>(doorcost::cost); }
