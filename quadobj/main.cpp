#include "frame/run.hpp"
#include "quadobj/objective.hpp"

int main() { return value_files::run<quadobj::value_count>(quadobj::objective); }
