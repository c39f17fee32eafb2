// SPDX-License-Identifier: MIT
//! Finds libobjeval: in `OBJEVAL_LIB_DIR` where it is set, else through
//! `pkg-config` (the command, not a crate). Its folder goes to the linker
//! and, for this crate's own tests and examples, into an rpath; the header's
//! folder to the tests, which hold the declarations to it.
use std::env;
use std::path::PathBuf;
use std::process::Command;

fn pkg_config(variable: &str) -> Option<String> {
    let output = Command::new("pkg-config").args(["--variable", variable, "objeval"]).output().ok()?;
    let text = String::from_utf8(output.stdout).ok()?.trim().to_string();
    (output.status.success() && !text.is_empty()).then_some(text)
}

fn main() {
    // The compiler's version, which a study records of each run.
    let rustc = env::var("RUSTC").unwrap_or_else(|_| "rustc".into());
    let version = Command::new(rustc).arg("--version").output().ok()
        .and_then(|output| String::from_utf8(output.stdout).ok())
        .and_then(|text| text.split_whitespace().nth(1).map(str::to_string))
        .unwrap_or_default();
    println!("cargo:rustc-env=OBJEVAL_RUSTC_VERSION={version}");
    println!("cargo:rerun-if-env-changed=OBJEVAL_LIB_DIR");
    println!("cargo:rerun-if-env-changed=PKG_CONFIG_PATH");
    let (libdir, includedir) = match env::var("OBJEVAL_LIB_DIR") {
        Ok(dir) if !dir.is_empty() => {
            let lib = PathBuf::from(dir);
            let include = lib.parent().map(|prefix| prefix.join("include")).unwrap_or_default();
            (lib, include)
        }
        _ => match (pkg_config("libdir"), pkg_config("includedir")) {
            (Some(lib), Some(include)) => (PathBuf::from(lib), PathBuf::from(include)),
            _ => {
                eprintln!(
                    "objeval: libobjeval not found: install objeval (cmake --install BUILD --prefix PREFIX) and \
                     set PKG_CONFIG_PATH to PREFIX's lib/pkgconfig, or OBJEVAL_LIB_DIR to the folder that holds \
                     libobjeval.so (pkg-config: Debian's pkg-config)"
                );
                std::process::exit(1);
            }
        },
    };
    println!("cargo:rustc-link-search=native={}", libdir.display());
    println!("cargo:rustc-link-lib=dylib=objeval");
    println!("cargo:rustc-link-arg=-Wl,-rpath,{}", libdir.display());
    println!("cargo:rustc-env=OBJEVAL_HEADER={}", includedir.join("objeval").join("objeval.h").display());
    println!("cargo:libdir={}", libdir.display());
}
