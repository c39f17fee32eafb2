#include "doorcost/cost.hpp"
#include "frame/run.hpp"

int main() { return value_files::run<doorcost::value_count>(doorcost::cost); }
