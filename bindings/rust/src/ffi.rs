// SPDX-License-Identifier: MIT
//! The C interface, declared by hand from `<objeval/objeval.h>`: every
//! function of the header, the deprecated ones too (a test holds this list
//! to the header's).
#![allow(dead_code)]

use std::os::raw::{c_char, c_float, c_int, c_uint, c_ulonglong, c_void};

#[repr(C)]
pub struct objeval_problem {
    pub name: *const c_char,
    pub dimension: usize,
    pub description: *const c_char,
}

pub const OBJEVAL_OK: c_int = 0;
pub const OBJEVAL_NULL_POINTER: c_int = 1;
pub const OBJEVAL_COUNT_TOO_LARGE: c_int = 2;
pub const OBJEVAL_NO_SUCH_PROBLEM: c_int = 3;
pub const OBJEVAL_INTERNAL_ERROR: c_int = 4;
pub const OBJEVAL_BUDGET_SPENT: c_int = 5;
pub const OBJEVAL_CANNOT_WRITE: c_int = 6;
pub const OBJEVAL_BAD_ARGUMENT: c_int = 7;
pub const OBJEVAL_NO_PROBLEM: usize = usize::MAX;

extern "C" {
    pub fn objeval_version() -> *const c_char;
    pub fn objeval_problem_count() -> usize;
    pub fn objeval_problem_at(index: usize) -> *const objeval_problem;
    pub fn objeval_problem_find(name: *const c_char) -> usize;
    pub fn objeval_evaluate(
        problem: usize,
        points: *const c_float,
        count: usize,
        values: *mut c_float,
        threads: c_uint,
    ) -> c_int;
    pub fn objeval_evaluate_strided(
        problem: usize,
        points: *const c_float,
        count: usize,
        point_stride: usize,
        coordinate_stride: usize,
        values: *mut c_float,
        threads: c_uint,
    ) -> c_int;
    pub fn objeval_evaluate_double(
        problem: usize,
        points: *const f64,
        count: usize,
        point_stride: usize,
        coordinate_stride: usize,
        values: *mut c_float,
        threads: c_uint,
    ) -> c_int;
    pub fn objeval_evaluate_doubles(
        problem: usize,
        points: *const f64,
        count: usize,
        point_stride: usize,
        coordinate_stride: usize,
        values: *mut f64,
        threads: c_uint,
    ) -> c_int;
    pub fn objeval_status_message(status: c_int) -> *const c_char;
    pub fn objeval_release_threads();
    pub fn objeval_study_open(
        folder: *const c_char,
        algorithm: *const c_char,
        info: *const c_char,
        options: c_uint,
        study: *mut *mut c_void,
    ) -> c_int;
    pub fn objeval_study_close(study: *mut c_void);
    pub fn objeval_run_start(
        study: *mut c_void,
        problem: usize,
        budget: c_ulonglong,
        attributes: *const c_char,
        run: *mut *mut c_void,
    ) -> c_int;
    pub fn objeval_run_evaluate(
        run: *mut c_void,
        points: *const c_float,
        count: usize,
        values: *mut c_float,
        threads: c_uint,
        evaluated: *mut usize,
    ) -> c_int;
    pub fn objeval_run_evaluate_strided(
        run: *mut c_void,
        points: *const c_float,
        count: usize,
        point_stride: usize,
        coordinate_stride: usize,
        values: *mut c_float,
        threads: c_uint,
        evaluated: *mut usize,
    ) -> c_int;
    pub fn objeval_run_evaluate_double(
        run: *mut c_void,
        points: *const f64,
        count: usize,
        point_stride: usize,
        coordinate_stride: usize,
        values: *mut c_float,
        threads: c_uint,
        evaluated: *mut usize,
    ) -> c_int;
    pub fn objeval_run_evaluate_doubles(
        run: *mut c_void,
        points: *const f64,
        count: usize,
        point_stride: usize,
        coordinate_stride: usize,
        values: *mut f64,
        threads: c_uint,
        evaluated: *mut usize,
    ) -> c_int;
    pub fn objeval_run_evaluations(run: *const c_void) -> c_ulonglong;
    pub fn objeval_run_best(run: *const c_void, point: *mut c_float) -> c_float;
    pub fn objeval_run_end(run: *mut c_void) -> c_int;
    pub fn objeval_run_fail(run: *mut c_void, reason: *const c_char) -> c_int;
    pub fn objeval_run_discard(run: *mut c_void) -> c_int;
    pub fn objeval_study_check(
        folder: *const c_char,
        each: Option<unsafe extern "C" fn(line: *const c_char, context: *mut c_void)>,
        context: *mut c_void,
        faults: *mut usize,
    ) -> c_int;
    pub fn objeval_last_error() -> *const c_char;
    pub fn objeval_doorcost(values: *const c_float) -> c_float;
    pub fn objeval_doorcost_batch(points: *const c_float, count: usize, costs: *mut c_float);
    pub fn objeval_doorcost_batch_threads(points: *const c_float, count: usize, costs: *mut c_float, threads: c_uint);
    pub fn objeval_quadobj(values: *const c_float) -> c_float;
    pub fn objeval_quadobj_batch(points: *const c_float, count: usize, results: *mut c_float);
    pub fn objeval_quadobj_batch_threads(points: *const c_float, count: usize, results: *mut c_float, threads: c_uint);
}
