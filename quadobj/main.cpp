#include "frame/value_files.hpp"
#include "quadobj/objective.hpp"

int main() { return value_files::run<quadobj::value_count>(quadobj::objective); }
