// SPDX-License-Identifier: MIT
//! Exact evaluators of two fixed optimisation instances, `doorcost` (a door
//! assignment at a freight terminal, 240 numbers a point) and `quadobj` (a
//! quadratic of 50 variables), over the C library `libobjeval`: every value
//! is bit for bit the one their programs write.
//!
//! ```
//! let quadobj = objeval::Problem::find("quadobj").unwrap();
//! let mut x = vec![0.0_f64; quadobj.dimension()];
//! x[0] = 1.0;
//! assert_eq!(quadobj.evaluate(&x)?, 21.315977_f32);
//! # Ok::<(), objeval::Error>(())
//! ```
//!
//! Each number is rounded once to the nearest `f32`. A batch takes points
//! one after another and gives a value a point, as `f32` or as `f64` (the
//! same `f32`, widened exactly), on `threads` threads: 0 means one per CPU
//! this process may use (its affinity mask, lowered to its cgroup's CPU
//! quota), a larger count is lowered to that number, and the values never
//! depend on it.
//!
//! Threads and processes: every call may come from any thread, at once.
//! A batch on more than one thread runs on helper threads that the library
//! starts at the first such batch and keeps, asleep, for the life of the
//! process, each bound to one CPU (`OBJEVAL_PIN_THREADS=0` in the
//! environment leaves them unbound; [`release_threads`] ends them). A child
//! forked while they exist does not use them: its batches start threads of
//! their own.
//!
//! The library is found when this crate is built: `OBJEVAL_LIB_DIR`, or
//! `pkg-config objeval`. Where it lies outside the loader's path, a program
//! that uses the crate needs that folder in `LD_LIBRARY_PATH` or an rpath.
#![deny(missing_docs)]

mod ffi;
mod study;

pub use study::{Run, Study, StudyOptions};

use std::ffi::{CStr, CString};
use std::fmt;
use std::os::raw::c_int;

/// A problem of the library's table: a name, a dimension, a description,
/// and its evaluation. Copied freely, shared between threads freely.
///
/// ```
/// let names: Vec<&str> = objeval::Problem::all().map(|p| p.name()).collect();
/// assert_eq!(names[..2], ["doorcost", "quadobj"]);
/// ```
#[derive(Clone, Copy, Debug, PartialEq, Eq)]
pub struct Problem {
    index: usize,
    name: &'static str,
    dimension: usize,
    description: &'static str,
}

fn text(pointer: *const std::os::raw::c_char) -> &'static str {
    // SAFETY: the library's strings are static, NUL-terminated ASCII.
    unsafe { CStr::from_ptr(pointer) }.to_str().unwrap_or("")
}

impl Problem {
    fn at(index: usize) -> Option<Problem> {
        // SAFETY: the table's entries are static; a null pointer past the last.
        let entry = unsafe { ffi::objeval_problem_at(index).as_ref() }?;
        Some(Problem {
            index,
            name: text(entry.name),
            dimension: entry.dimension,
            description: text(entry.description),
        })
    }

    /// The problem named `name`, if the library has one.
    ///
    /// ```
    /// assert_eq!(objeval::Problem::find("doorcost").unwrap().dimension(), 240);
    /// assert!(objeval::Problem::find("QUADOBJ").is_none());
    /// ```
    pub fn find(name: &str) -> Option<Problem> {
        let name = CString::new(name).ok()?;
        // SAFETY: a NUL-terminated string that outlives the call.
        let index = unsafe { ffi::objeval_problem_find(name.as_ptr()) };
        if index == ffi::OBJEVAL_NO_PROBLEM {
            None
        } else {
            Problem::at(index)
        }
    }

    /// Every problem of the library's table, in its order.
    ///
    /// ```
    /// assert!(objeval::Problem::all().any(|p| p.name() == "quadobj"));
    /// ```
    pub fn all() -> impl Iterator<Item = Problem> {
        // SAFETY: no argument.
        let count = unsafe { ffi::objeval_problem_count() };
        (0..count).filter_map(Problem::at)
    }

    /// The problem's name, as `"quadobj"`.
    ///
    /// ```
    /// assert_eq!(objeval::Problem::find("quadobj").unwrap().name(), "quadobj");
    /// ```
    pub fn name(&self) -> &'static str {
        self.name
    }

    /// The numbers in a point.
    ///
    /// ```
    /// assert_eq!(objeval::Problem::find("quadobj").unwrap().dimension(), 50);
    /// ```
    pub fn dimension(&self) -> usize {
        self.dimension
    }

    /// What a point's numbers mean, in one line.
    ///
    /// ```
    /// assert!(objeval::Problem::find("doorcost").unwrap().description().contains("door"));
    /// ```
    pub fn description(&self) -> &'static str {
        self.description
    }

    /// The value at one point of [`dimension`](Problem::dimension) numbers,
    /// `f32` or `f64`, each rounded once to `f32`.
    ///
    /// ```
    /// let doorcost = objeval::Problem::find("doorcost").unwrap();
    /// assert_eq!(doorcost.evaluate(&vec![1.0_f32; 240])?, 1147840.0);
    /// assert!(doorcost.evaluate(&[1.0_f32; 3]).is_err());  // a wrong length is an error
    /// # Ok::<(), objeval::Error>(())
    /// ```
    pub fn evaluate<P: Number>(&self, x: &[P]) -> Result<f32, Error> {
        if x.len() != self.dimension {
            return Err(Error::length(format!(
                "{}: a point is {} numbers, got {}",
                self.name,
                self.dimension,
                x.len()
            )));
        }
        let mut value = [0.0_f32];
        self.check(<P as sealed::Element>::evaluate(self.index, x, 1, &mut value, 1))?;
        Ok(value[0])
    }

    /// The values of `values.len()` points, one after another in `points`,
    /// on `threads` threads (0: one per CPU this process may use). Points
    /// are `f32` or `f64`, values `f32` or `f64`.
    ///
    /// ```
    /// let quadobj = objeval::Problem::find("quadobj").unwrap();
    /// let points = vec![0.5_f64; 1000 * quadobj.dimension()];
    /// let mut values = vec![0.0_f64; 1000];
    /// quadobj.evaluate_batch(&points, &mut values, 0)?;
    /// assert!(values.iter().all(|&v| v == values[0]));
    /// let mut short = vec![0.0_f32; 999];
    /// assert!(quadobj.evaluate_batch(&points, &mut short, 1).is_err());
    /// # Ok::<(), objeval::Error>(())
    /// ```
    pub fn evaluate_batch<P: Number, V: Value>(
        &self,
        points: &[P],
        values: &mut [V],
        threads: usize,
    ) -> Result<(), Error> {
        if values.len().checked_mul(self.dimension) != Some(points.len()) {
            return Err(Error::length(format!(
                "{}: points holds {} numbers a point, {} * {} for {} values; got {}",
                self.name,
                self.dimension,
                self.dimension,
                values.len(),
                values.len(),
                points.len()
            )));
        }
        let threads = u32::try_from(threads).unwrap_or(u32::MAX);
        self.check(<V as sealed::Output>::evaluate(self.index, points, values, threads))
    }

    fn check(&self, status: c_int) -> Result<(), Error> {
        if status == ffi::OBJEVAL_OK {
            return Ok(());
        }
        // SAFETY: any status has a static message.
        let words = text(unsafe { ffi::objeval_status_message(status) });
        Err(Error { status: Status::from(status), message: format!("{}: {}", self.name, words) })
    }
}

/// The numbers a point may hold: `f32`, or `f64`, rounded once to `f32`.
/// Sealed: only this crate implements it.
///
/// ```
/// fn first<P: objeval::Number>(x: &[P]) -> Result<f32, objeval::Error> {
///     objeval::Problem::find("quadobj").unwrap().evaluate(x)
/// }
/// assert_eq!(first(&[0.0_f32; 50])?, first(&[0.0_f64; 50])?);
/// # Ok::<(), objeval::Error>(())
/// ```
pub trait Number: sealed::Element {}
impl Number for f32 {}
impl Number for f64 {}

/// The values a batch may write: `f32`, or `f64` (the `f32` widened
/// exactly). Sealed: only this crate implements it.
///
/// ```
/// let doorcost = objeval::Problem::find("doorcost").unwrap();
/// let points = vec![1.0_f32; 2 * 240];
/// let (mut narrow, mut wide) = ([0.0_f32; 2], [0.0_f64; 2]);
/// doorcost.evaluate_batch(&points, &mut narrow, 1)?;
/// doorcost.evaluate_batch(&points, &mut wide, 1)?;
/// assert_eq!(f64::from(narrow[1]), wide[1]);
/// # Ok::<(), objeval::Error>(())
/// ```
pub trait Value: sealed::Output {}
impl Value for f32 {}
impl Value for f64 {}

/// The calls behind the public traits, out of users' reach: each trusts the
/// lengths [`Problem`] has checked.
mod sealed {
    use crate::ffi;
    use std::os::raw::c_int;

    pub trait Element: Copy {
        fn evaluate(problem: usize, points: &[Self], count: usize, values: &mut [f32], threads: u32) -> c_int;
        fn evaluate_wide(problem: usize, points: &[Self], values: &mut [f64], threads: u32) -> c_int;
    }

    pub trait Output: Copy {
        fn evaluate<P: Element>(problem: usize, points: &[P], values: &mut [Self], threads: u32) -> c_int;
    }

    impl Element for f32 {
        fn evaluate(problem: usize, points: &[f32], count: usize, values: &mut [f32], threads: u32) -> c_int {
            // SAFETY: points holds count * dimension floats and values count, as Problem checked.
            unsafe { ffi::objeval_evaluate(problem, points.as_ptr(), count, values.as_mut_ptr(), threads) }
        }
        fn evaluate_wide(problem: usize, points: &[f32], values: &mut [f64], threads: u32) -> c_int {
            let mut narrow = vec![0.0_f32; values.len()];
            let status = <f32 as Element>::evaluate(problem, points, values.len(), &mut narrow, threads);
            values.iter_mut().zip(&narrow).for_each(|(wide, &value)| *wide = f64::from(value));
            status
        }
    }

    impl Element for f64 {
        fn evaluate(problem: usize, points: &[f64], count: usize, values: &mut [f32], threads: u32) -> c_int {
            let dimension = points.len().checked_div(count).unwrap_or(0);
            // SAFETY: points holds count rows of `dimension` doubles and values count, as Problem checked.
            unsafe {
                ffi::objeval_evaluate_double(
                    problem,
                    points.as_ptr(),
                    count,
                    dimension,
                    1,
                    values.as_mut_ptr(),
                    threads,
                )
            }
        }
        fn evaluate_wide(problem: usize, points: &[f64], values: &mut [f64], threads: u32) -> c_int {
            let count = values.len();
            let dimension = points.len().checked_div(count).unwrap_or(0);
            // SAFETY: as above, the values doubles.
            unsafe {
                ffi::objeval_evaluate_doubles(
                    problem,
                    points.as_ptr(),
                    count,
                    dimension,
                    1,
                    values.as_mut_ptr(),
                    threads,
                )
            }
        }
    }

    impl Output for f32 {
        fn evaluate<P: Element>(problem: usize, points: &[P], values: &mut [f32], threads: u32) -> c_int {
            P::evaluate(problem, points, values.len(), values, threads)
        }
    }

    impl Output for f64 {
        fn evaluate<P: Element>(problem: usize, points: &[P], values: &mut [f64], threads: u32) -> c_int {
            P::evaluate_wide(problem, points, values, threads)
        }
    }
}

/// What went wrong.
///
/// ```
/// assert_eq!(objeval::Status::WrongLength.to_string(), "a wrong length");
/// ```
#[derive(Clone, Copy, Debug, PartialEq, Eq)]
#[non_exhaustive]
pub enum Status {
    /// A slice's length does not fit the problem's dimension (found by this crate).
    WrongLength,
    /// The library's `OBJEVAL_NULL_POINTER`.
    NullPointer,
    /// The library's `OBJEVAL_COUNT_TOO_LARGE`: the points cannot fit in memory.
    CountTooLarge,
    /// The library's `OBJEVAL_NO_SUCH_PROBLEM`.
    NoSuchProblem,
    /// The library's `OBJEVAL_INTERNAL_ERROR`: it failed inside.
    InternalError,
    /// The library's `OBJEVAL_BUDGET_SPENT`: a run's budget is spent.
    BudgetSpent,
    /// The library's `OBJEVAL_CANNOT_WRITE`: a study's files cannot be written.
    CannotWrite,
    /// The library's `OBJEVAL_BAD_ARGUMENT`: an argument the call cannot take.
    BadArgument,
    /// A status this crate does not know, from a newer library.
    Other(i32),
}

impl From<c_int> for Status {
    fn from(status: c_int) -> Status {
        match status {
            ffi::OBJEVAL_NULL_POINTER => Status::NullPointer,
            ffi::OBJEVAL_COUNT_TOO_LARGE => Status::CountTooLarge,
            ffi::OBJEVAL_NO_SUCH_PROBLEM => Status::NoSuchProblem,
            ffi::OBJEVAL_INTERNAL_ERROR => Status::InternalError,
            ffi::OBJEVAL_BUDGET_SPENT => Status::BudgetSpent,
            ffi::OBJEVAL_CANNOT_WRITE => Status::CannotWrite,
            ffi::OBJEVAL_BAD_ARGUMENT => Status::BadArgument,
            other => Status::Other(other),
        }
    }
}

impl fmt::Display for Status {
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        match self {
            Status::WrongLength => f.write_str("a wrong length"),
            Status::Other(status) => write!(f, "status {status}"),
            // SAFETY: any status has a static message.
            library => f.write_str(text(unsafe { ffi::objeval_status_message(library.code()) })),
        }
    }
}

impl Status {
    fn code(self) -> c_int {
        match self {
            Status::WrongLength => -1,
            Status::NullPointer => ffi::OBJEVAL_NULL_POINTER,
            Status::CountTooLarge => ffi::OBJEVAL_COUNT_TOO_LARGE,
            Status::NoSuchProblem => ffi::OBJEVAL_NO_SUCH_PROBLEM,
            Status::InternalError => ffi::OBJEVAL_INTERNAL_ERROR,
            Status::BudgetSpent => ffi::OBJEVAL_BUDGET_SPENT,
            Status::CannotWrite => ffi::OBJEVAL_CANNOT_WRITE,
            Status::BadArgument => ffi::OBJEVAL_BAD_ARGUMENT,
            Status::Other(status) => status,
        }
    }
}

/// An evaluation that did not happen: its [`Status`] and a message that
/// names the problem and what was wrong.
///
/// ```
/// let quadobj = objeval::Problem::find("quadobj").unwrap();
/// let error = quadobj.evaluate(&[0.0_f32; 49]).unwrap_err();
/// assert_eq!(error.status(), objeval::Status::WrongLength);
/// assert_eq!(error.to_string(), "quadobj: a point is 50 numbers, got 49");
/// ```
#[derive(Clone, Debug, PartialEq, Eq)]
pub struct Error {
    status: Status,
    message: String,
}

impl Error {
    fn length(message: String) -> Error {
        Error { status: Status::WrongLength, message }
    }

    /// The library's failure `status`, in the words of its last error.
    fn from_library(status: c_int, what: &str) -> Error {
        // SAFETY: a string the library keeps per thread, and any status has a static message.
        let words = text(unsafe { ffi::objeval_last_error() });
        let words = if words.is_empty() { text(unsafe { ffi::objeval_status_message(status) }) } else { words };
        Error { status: Status::from(status), message: format!("{what}: {words}") }
    }

    /// What went wrong, as a status.
    ///
    /// ```
    /// let error = objeval::Problem::find("quadobj").unwrap().evaluate(&[0.0_f64; 1]).unwrap_err();
    /// assert_eq!(error.status(), objeval::Status::WrongLength);
    /// ```
    pub fn status(&self) -> Status {
        self.status
    }

    /// What went wrong, in words.
    ///
    /// ```
    /// let error = objeval::Problem::find("doorcost").unwrap().evaluate(&[0.0_f64; 1]).unwrap_err();
    /// assert!(error.message().starts_with("doorcost: "));
    /// ```
    pub fn message(&self) -> &str {
        &self.message
    }
}

impl fmt::Display for Error {
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        f.write_str(&self.message)
    }
}

impl std::error::Error for Error {}

/// The version of the library loaded, as `"MAJOR.MINOR.PATCH"`.
///
/// ```
/// assert_eq!(objeval::version().split('.').count(), 3);
/// ```
pub fn version() -> &'static str {
    // SAFETY: a static string.
    text(unsafe { ffi::objeval_version() })
}

/// Ends the helper threads kept between batches that no call is using; a
/// later batch on more than one thread starts them again.
///
/// ```
/// objeval::release_threads();
/// ```
pub fn release_threads() {
    // SAFETY: no argument; the library ends only idle helpers.
    unsafe { ffi::objeval_release_threads() }
}
