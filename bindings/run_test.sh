#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs one language's binding test against an installed prefix and the
# golden corpus; exits 77, which ctest reports as skipped, where the
# language's tool is missing.
#
#   run.sh octave|r|java|fortran PREFIX LIBDIR CORPUS_DIR
# LIBDIR: the install's library directory, relative to PREFIX.
set -eu
language=$1 prefix=$(realpath "$2") libdir=$(realpath "$2/$3") corpus=$(realpath "$4")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
needs() {
  for tool in "$@"; do
    command -v "${tool%%:*}" >/dev/null || { echo "SKIPPED: no ${tool%%:*} (Debian: ${tool#*:})"; exit 77; }
  done
}
export PKG_CONFIG_PATH=$libdir/pkgconfig
case $language in
  octave)
    needs octave-cli:octave mkoctfile:liboctave-dev pkg-config:pkg-config
    cd "$work"
    exec octave-cli --no-history --norc "$here/octave/tests/octave_test.m" "$corpus" \
      "$(ls "$prefix"/share/objeval/octave/objeval-*.tar.gz)" "$work" "$here/../tests/study_format.py" ;;
  r)
    needs R:r-base-dev Rscript:r-base-dev pkg-config:pkg-config
    tarball=$(ls "$prefix"/share/objeval/R/objeval_*.tar.gz)
    Rscript -e 'install.packages(commandArgs(TRUE)[1], repos = NULL, lib = commandArgs(TRUE)[2])' "$tarball" "$work" \
      >"$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }
    R_LIBS=$work Rscript "$here/r/examples/random_search.R"
    R_LIBS=$work exec Rscript "$here/r/tests/r_test.R" "$corpus" "$here/../tests/study_format.py" ;;
  java)
    needs javac:default-jdk-headless java:default-jdk-headless
    # The jar copied alone to another folder, as a user keeps jars; its JNI
    # library cached under the scratch folder.
    cp "$prefix"/share/java/objeval-[0-9]*.jar "$work/"
    jar=$(ls "$work"/objeval-*.jar)
    export XDG_CACHE_HOME=$work/cache
    cd "$work"
    javac -cp "$jar" -d . "$here/java/tests/ObjevalTest.java" "$here/java/examples/Example.java"
    java -cp "$jar:." Example
    # -Dobjeval.jni names the library, or a folder that holds it; a wrong one is named in the error.
    mkdir jni && (cd jni && jar xf "$jar" objeval/native)
    java -Dobjeval.jni="$(dirname "$(find jni -name 'libobjeval_jni.so')")" -cp "$jar:." Example
    if java -Dobjeval.jni=/nonexistent -cp "$jar:." Example 2>error.txt; then echo "FAIL a wrong -Dobjeval.jni loaded"; exit 1; fi
    grep -q "cannot load /nonexistent/libobjeval_jni.so\|cannot load /nonexistent" error.txt ||
      { echo "FAIL a wrong -Dobjeval.jni is not named:"; cat error.txt; exit 1; }
    exec java -cp "$jar:." ObjevalTest "$corpus" "$here/../tests/study_format.py" ;;
  fortran)
    needs gfortran:gfortran pkg-config:pkg-config
    cd "$work"
    # The installed module, as a user builds with it; the library's folder
    # into the program, as objeval.pc leaves that to the caller.
    for program in tests/fortran_test examples/random_search; do
      gfortran -Wall -o "${program#*/}" $(pkg-config --cflags objeval-fortran) "$here/fortran/$program.f90" \
        $(pkg-config --libs objeval-fortran) -Wl,-rpath,"$libdir"
    done
    ./random_search
    exec ./fortran_test "$corpus" "$here/../tests/study_format.py" ;;
  rust)
    needs cargo:cargo pkg-config:pkg-config
    # The installed crate's own tests (doc-tests among them) and clippy, then
    # a user's crate in a fresh folder with a path dependency on it.
    export CARGO_TARGET_DIR=$work/target OBJEVAL_CORPUS=$corpus LD_LIBRARY_PATH=$libdir
    export OBJEVAL_STUDY_FORMAT=$here/../tests/study_format.py
    cp -r "$prefix/share/objeval/rust" "$work/crate" && cd "$work/crate"  # cargo writes its lock file beside the crate
    cargo test --offline >"$work/test.log" 2>&1 || { tail -n 40 "$work/test.log"; exit 1; }
    grep -E "^test result|Running|Doc-tests" "$work/test.log"
    if cargo clippy --version >/dev/null 2>&1; then
      cargo clippy --offline --quiet --all-targets -- -D warnings
    else
      echo "SKIPPED clippy: not installed (rustup component add clippy)"
    fi
    mkdir -p "$work/user/src" && cd "$work/user"
    printf '[package]\nname = "user"\nversion = "0.1.0"\nedition = "2021"\n\n[dependencies]\nobjeval = { path = "%s" }\n' \
      "$prefix/share/objeval/rust" >Cargo.toml
    cat >src/main.rs <<'RUST'
fn main() {
    let point: Vec<f32> = std::fs::read_to_string(std::env::args().nth(1).unwrap()).unwrap()
        .split_whitespace().map(|v| v.parse().unwrap()).collect();
    println!("{:.6}", objeval::Problem::find("quadobj").unwrap().evaluate(&point).unwrap());
}
RUST
    for example in "$here"/../examples/quadobj/*.txt; do
      got=$(cargo run --offline --quiet -- "$example")
      mkdir -p "$work/run" && cp "$example" "$work/run/input.txt" && (cd "$work/run" && "$prefix/bin/quadobj")
      [ "$got" = "$(cat "$work/run/output.txt")" ] || { echo "FAIL $example: the crate says $got, quadobj $(cat "$work/run/output.txt")"; exit 1; }
    done
    echo "rust: a user's crate gives the program's values" ;;
  *) echo "unknown language $language"; exit 2 ;;
esac
