// SPDX-License-Identifier: MIT
//! Studies: runs of an algorithm on the problems, every evaluation counted
//! in order, a budget kept, and each run's best-so-far values logged where
//! IOHanalyzer reads them (IOHprofiler's format, the problems minimised).

use crate::{ffi, Error, Number, Problem};
use std::ffi::CString;
use std::os::raw::c_void;
use std::path::Path;

/// What a study logs besides each improvement's evaluation and value, and
/// how it writes.
#[derive(Clone, Copy, Debug, Default, PartialEq, Eq)]
pub struct StudyOptions {
    /// A row for every evaluation, not only the improvements.
    pub every_evaluation: bool,
    /// Each row with its point's coordinates.
    pub points: bool,
    /// A run counts as ended once its files are on the disk.
    pub durable: bool,
    /// The algorithm's runs in the folder are meant to be added to (else a
    /// line on standard error says they are there).
    pub add: bool,
}

/// A study in a folder: runs of one algorithm, each added when it ends.
/// Threads and processes may write one study at once.
///
/// ```
/// let folder = std::env::temp_dir().join(format!("objeval-doc-{}", std::process::id()));
/// let study = objeval::Study::open(&folder, "random search", "uniform in [-1, 1]")?;
/// let quadobj = objeval::Problem::find("quadobj").unwrap();
/// let mut run = study.run(&quadobj, Some(2), &[("seed", "1")])?;
/// run.evaluate(&[0.5_f64; 50])?;
/// run.evaluate(&[0.25_f64; 50])?;
/// let spent = run.evaluate(&[0.0_f64; 50]).unwrap_err();
/// assert_eq!(spent.status(), objeval::Status::BudgetSpent);
/// assert_eq!(run.evaluations(), 2);
/// run.end()?;
/// # std::fs::remove_dir_all(&folder).unwrap();
/// # Ok::<(), objeval::Error>(())
/// ```
#[derive(Debug)]
pub struct Study {
    handle: *mut c_void,
}

// SAFETY: the library's study may be used from any thread; its runs are each one caller's.
unsafe impl Send for Study {}
// SAFETY: starting runs of one study from several threads at once is what the library allows.
unsafe impl Sync for Study {}

fn c_text(text: &str, what: &str) -> Result<CString, Error> {
    CString::new(text).map_err(|_| Error { status: crate::Status::BadArgument, message: format!("{what} holds a NUL") })
}

impl Study {
    /// Opens the study in `folder` (made if missing) for `algorithm`,
    /// described by `info`; [`Status::CannotWrite`](crate::Status::CannotWrite)
    /// where the folder cannot be written.
    pub fn open(folder: impl AsRef<Path>, algorithm: &str, info: &str) -> Result<Study, Error> {
        Study::open_with(folder, algorithm, info, StudyOptions::default())
    }

    /// The same, logging what `options` asks besides the improvements.
    ///
    /// ```
    /// let folder = std::env::temp_dir().join(format!("objeval-doc-options-{}", std::process::id()));
    /// let options = objeval::StudyOptions { every_evaluation: true, points: true, ..Default::default() };
    /// let study = objeval::Study::open_with(&folder, "every point", "", options)?;
    /// # std::fs::remove_dir_all(&folder).unwrap();
    /// # Ok::<(), objeval::Error>(())
    /// ```
    pub fn open_with(folder: impl AsRef<Path>, algorithm: &str, info: &str, options: StudyOptions) -> Result<Study, Error> {
        let where_ = folder.as_ref().to_string_lossy().into_owned();
        let (folder, algorithm, info) = (c_text(&where_, "the folder")?, c_text(algorithm, "the algorithm")?, c_text(info, "the info")?);
        let flags = u32::from(options.every_evaluation)
            | (u32::from(options.points) << 1)
            | (u32::from(options.durable) << 2)
            | (u32::from(options.add) << 3);
        let mut handle = std::ptr::null_mut();
        // SAFETY: NUL-terminated strings and a place for the handle.
        let status = unsafe { ffi::objeval_study_open(folder.as_ptr(), algorithm.as_ptr(), info.as_ptr(), flags, &mut handle) };
        if status != ffi::OBJEVAL_OK {
            return Err(Error::from_library(status, &where_));
        }
        Ok(Study { handle })
    }

    /// Starts a run of `problem`: at most `budget` evaluations (`None`: no
    /// budget; `Some(0)` is refused), with `attributes` (name, value)
    /// recorded with it, and the language (`language`, `Rust`).
    pub fn run(&self, problem: &Problem, budget: Option<u64>, attributes: &[(&str, &str)]) -> Result<Run, Error> {
        if budget == Some(0) {
            return Err(Error {
                status: crate::Status::BadArgument,
                message: "objeval: a budget is a whole number of evaluations from 1 (None: no budget), not 0".into(),
            });
        }
        let mut text: Vec<String> = attributes.iter().map(|(name, value)| format!("{name}={value}")).collect();
        if !attributes.iter().any(|(name, _)| *name == "language") {
            text.push(format!("language=Rust {}", env!("OBJEVAL_RUSTC_VERSION")));
        }
        let text = c_text(&text.join(";"), "the attributes")?;
        let mut handle = std::ptr::null_mut();
        // SAFETY: a live study, a problem of the table, a NUL-terminated string and a place for the handle.
        let status = unsafe { ffi::objeval_run_start(self.handle, problem.index, budget.unwrap_or(0), text.as_ptr(), &mut handle) };
        if status != ffi::OBJEVAL_OK {
            return Err(Error::from_library(status, problem.name()));
        }
        Ok(Run { handle, problem: *problem })
    }
}

impl Drop for Study {
    fn drop(&mut self) {
        // SAFETY: the handle is this study's, closed once; its runs live on until they end.
        unsafe { ffi::objeval_study_close(self.handle) }
    }
}

/// One run of a [`Study`]: each point evaluated through it is one
/// evaluation, in order. A call past the budget evaluates the points
/// within it and returns [`Status::BudgetSpent`](crate::Status::BudgetSpent).
/// [`Run::end`], or dropping it, adds the run to the study; dropped in a
/// panic, it ends as failed ([`Run::fail`]).
#[derive(Debug)]
pub struct Run {
    handle: *mut c_void,
    problem: Problem,
}

// SAFETY: a run is used by one thread at a time, which &mut self ensures; it may move between them.
unsafe impl Send for Run {}

impl Run {
    /// The value at one point, counted.
    pub fn evaluate<P: Number>(&mut self, point: &[P]) -> Result<f32, Error> {
        let mut value = [0.0_f32];
        self.evaluate_batch(point, &mut value, 1)?;
        Ok(value[0])
    }

    /// The values of `values.len()` points, a point after a point, counted
    /// in order, on `threads` threads.
    pub fn evaluate_batch<P: Number>(&mut self, points: &[P], values: &mut [f32], threads: usize) -> Result<(), Error> {
        let dimension = self.problem.dimension();
        if points.len() != dimension * values.len() {
            return Err(Error::length(format!(
                "{}: {} points of {} numbers are {}, got {}",
                self.problem.name(), values.len(), dimension, dimension * values.len(), points.len()
            )));
        }
        let threads = u32::try_from(threads).unwrap_or(u32::MAX);
        let mut evaluated = 0;
        // SAFETY: points holds values.len() rows of `dimension` numbers, as checked; the run is live.
        let status = unsafe {
            if std::mem::size_of::<P>() == 8 {
                ffi::objeval_run_evaluate_double(self.handle, points.as_ptr().cast(), values.len(), dimension, 1,
                                                 values.as_mut_ptr(), threads, &mut evaluated)
            } else {
                ffi::objeval_run_evaluate(self.handle, points.as_ptr().cast(), values.len(), values.as_mut_ptr(), threads, &mut evaluated)
            }
        };
        if status != ffi::OBJEVAL_OK {
            return Err(Error::from_library(status, self.problem.name()));
        }
        Ok(())
    }

    /// The evaluations this run has made.
    pub fn evaluations(&self) -> u64 {
        // SAFETY: a live run.
        unsafe { ffi::objeval_run_evaluations(self.handle) }
    }

    /// The best (least) value so far, infinite before any, and its point.
    ///
    /// ```
    /// # let folder = std::env::temp_dir().join(format!("objeval-doc-best-{}", std::process::id()));
    /// # let study = objeval::Study::open(&folder, "two points", "")?;
    /// let doorcost = objeval::Problem::find("doorcost").unwrap();
    /// let mut run = study.run(&doorcost, None, &[])?;
    /// run.evaluate(&[1.0_f32; 240])?;
    /// run.evaluate(&[0.5_f32; 240])?;
    /// assert_eq!(run.best(), (286960.0, vec![0.5; 240]));
    /// # std::fs::remove_dir_all(&folder).unwrap();
    /// # Ok::<(), objeval::Error>(())
    /// ```
    pub fn best(&self) -> (f32, Vec<f32>) {
        let mut point = vec![0.0_f32; self.problem.dimension()];
        // SAFETY: a live run and room for its point.
        let value = unsafe { ffi::objeval_run_best(self.handle, point.as_mut_ptr()) };
        (value, point)
    }

    /// Ends the run and adds it to its study;
    /// [`Status::CannotWrite`](crate::Status::CannotWrite) where its files
    /// cannot be written.
    pub fn end(mut self) -> Result<(), Error> {
        let handle = std::mem::replace(&mut self.handle, std::ptr::null_mut());
        // SAFETY: the run's handle, ended once.
        let status = unsafe { ffi::objeval_run_end(handle) };
        self.ended(status)
    }

    /// Ends the run as failed, `reason` saying why: its rows are kept,
    /// apart from the runs IOHanalyzer reads.
    pub fn fail(mut self, reason: &str) -> Result<(), Error> {
        let handle = std::mem::replace(&mut self.handle, std::ptr::null_mut());
        let reason = CString::new(reason.replace('\0', " ")).unwrap_or_default();
        // SAFETY: the run's handle, ended once, and a NUL-terminated string.
        let status = unsafe { ffi::objeval_run_fail(handle, reason.as_ptr()) };
        self.ended(status)
    }

    /// Ends the run leaving nothing of it in the study.
    pub fn discard(mut self) -> Result<(), Error> {
        let handle = std::mem::replace(&mut self.handle, std::ptr::null_mut());
        // SAFETY: the run's handle, ended once.
        let status = unsafe { ffi::objeval_run_discard(handle) };
        self.ended(status)
    }

    fn ended(&self, status: std::os::raw::c_int) -> Result<(), Error> {
        if status != ffi::OBJEVAL_OK {
            return Err(Error::from_library(status, self.problem.name()));
        }
        Ok(())
    }
}

impl Drop for Run {
    fn drop(&mut self) {
        if !self.handle.is_null() {
            // SAFETY: a run not ended yet, ended once here.
            unsafe {
                if std::thread::panicking() {
                    ffi::objeval_run_fail(self.handle, b"a panic\0".as_ptr().cast());
                } else {
                    ffi::objeval_run_end(self.handle);
                }
            }
        }
    }
}
