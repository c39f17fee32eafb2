// SPDX-License-Identifier: MIT
//! The hand-written declarations against the header they are written from:
//! a function added to or taken from `objeval.h` must show here.
use std::collections::BTreeSet;

fn names(text: &str, before: &str) -> BTreeSet<String> {
    text.match_indices(before)
        .map(|(at, _)| &text[at + before.len()..])
        .filter_map(|rest| rest.split('(').next())
        .map(|name| name.trim().to_string())
        .filter(|name| name.starts_with("objeval_") && name.chars().all(|c| c.is_ascii_alphanumeric() || c == '_'))
        .collect()
}

#[test]
fn the_declarations_are_the_headers_functions() {
    let header = std::fs::read_to_string(env!("OBJEVAL_HEADER")).expect(env!("OBJEVAL_HEADER"));
    let declared = names(include_str!("../src/ffi.rs"), "pub fn ");
    let mut in_header = BTreeSet::new();
    for line in header.lines().filter(|line| line.starts_with("OBJEVAL_API ")) {
        let name = line.split('(').next().unwrap_or("").rsplit([' ', '*']).next().unwrap_or("");
        in_header.insert(name.to_string());
    }
    assert!(in_header.len() >= 10, "{} functions in {}", in_header.len(), env!("OBJEVAL_HEADER"));
    assert_eq!(declared, in_header);
}
