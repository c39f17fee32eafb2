// SPDX-License-Identifier: MIT
//! A study of two algorithms from Rust, runs on several threads at once and
//! one on a budget its last batch crosses, loaded whole by IOHanalyzer's
//! rules (tests/study_format.py, named by OBJEVAL_STUDY_FORMAT).
use objeval::{Problem, Status, Study};

#[test]
fn a_study_loads_with_every_run_and_a_budget_to_the_point() {
    let folder = std::env::temp_dir().join(format!("objeval-rust-study-{}", std::process::id()));
    let quadobj = Problem::find("quadobj").unwrap();
    let study = Study::open(&folder, "random search", "uniform in [-1, 1]").unwrap();
    let mut run = study.run(&quadobj, Some(55), &[("seed", "1")]).unwrap();
    let points: Vec<f64> = (0..10 * 50).map(|k| ((k * 7919) % 200) as f64 / 100.0 - 1.0).collect();
    let mut values = [0.0_f32; 10];
    let mut spent = None;
    for _ in 0..6 {
        if let Err(error) = run.evaluate_batch(&points, &mut values, 2) {
            spent = Some(error.status());
        }
    }
    assert_eq!((spent, run.evaluations()), (Some(Status::BudgetSpent), 55));
    let (best, point) = run.best();
    assert_eq!(best, quadobj.evaluate(&point).unwrap());
    run.end().unwrap();
    std::thread::scope(|s| {
        for seed in 0..3 {
            let study = &study;
            s.spawn(move || {
                let mut run = study.run(&quadobj, None, &[("seed", &seed.to_string())]).unwrap();
                run.evaluate(&vec![0.1 * f64::from(seed); 50]).unwrap();
                run.evaluate(&vec![0.2 * f64::from(seed); 50]).unwrap();  // a run of one evaluation is kept apart
            });
        }
    });
    drop(study);
    let other = Study::open(&folder, "x", "").unwrap();
    assert_eq!(other.run(&quadobj, None, &[("instance", "1")]).unwrap_err().status(), Status::BadArgument);
    if let Ok(format) = std::env::var("OBJEVAL_STUDY_FORMAT") {
        let check = std::process::Command::new("python3").arg(format).arg(&folder).args(["--runs", "4"]).output().unwrap();
        assert!(check.status.success(), "{}", String::from_utf8_lossy(&check.stdout));
    }
    std::fs::remove_dir_all(&folder).unwrap();
}
