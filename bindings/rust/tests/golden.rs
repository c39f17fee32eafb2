// SPDX-License-Identifier: MIT
//! Every problem against the golden bits of the exactness corpus (the
//! folder OBJEVAL_CORPUS names, as the project's tests write it): one point,
//! and batches on 1, 2 and 0 threads, from f32 and f64, into f32 and f64.
use objeval::{Problem, Status};
use std::path::PathBuf;

fn floats(path: PathBuf) -> Vec<f32> {
    let bytes = std::fs::read(&path).unwrap_or_else(|e| panic!("{}: {e}", path.display()));
    bytes.chunks_exact(4).map(|b| f32::from_le_bytes([b[0], b[1], b[2], b[3]])).collect()
}

fn bits<V: Copy + Into<f64>>(values: &[V]) -> Vec<u32> {
    values.iter().map(|&v| (v.into() as f32).to_bits()).collect()
}

#[test]
fn every_call_gives_the_golden_bits() {
    let Ok(corpus) = std::env::var("OBJEVAL_CORPUS") else {
        eprintln!("SKIPPED: OBJEVAL_CORPUS names no corpus (the project's tests write one)");
        return;
    };
    for problem in Problem::all() {
        let points = floats(PathBuf::from(&corpus).join(format!("{}.points.f32", problem.name())));
        let golden = bits(&floats(PathBuf::from(&corpus).join(format!("{}.golden.f32", problem.name()))));
        let wide: Vec<f64> = points.iter().map(|&v| f64::from(v)).collect();
        let one: Vec<f32> = points.chunks(problem.dimension()).map(|x| problem.evaluate(x).unwrap()).collect();
        assert_eq!(bits(&one), golden, "{} one point", problem.name());
        for threads in [1, 2, 0] {
            let (mut narrow, mut from_wide, mut both_wide) =
                (vec![0.0_f32; golden.len()], vec![0.0_f32; golden.len()], vec![0.0_f64; golden.len()]);
            problem.evaluate_batch(&points, &mut narrow, threads).unwrap();
            problem.evaluate_batch(&wide, &mut from_wide, threads).unwrap();
            problem.evaluate_batch(&wide, &mut both_wide, threads).unwrap();
            assert_eq!(bits(&narrow), golden, "{} f32 batch, {threads} threads", problem.name());
            assert_eq!(bits(&from_wide), golden, "{} f64 batch, {threads} threads", problem.name());
            assert_eq!(bits(&both_wide), golden, "{} f64 into f64, {threads} threads", problem.name());
        }
    }
}

#[test]
fn wrong_lengths_are_errors_not_panics() {
    let quadobj = Problem::find("quadobj").unwrap();
    let error = quadobj.evaluate_batch(&[0.0_f64; 50 * 3], &mut [0.0_f32; 2], 1).unwrap_err();
    assert_eq!(error.status(), Status::WrongLength);
    assert!(error.to_string().contains("for 2 values; got 150"), "{error}");
    let empty: [f32; 0] = [];
    assert!(quadobj.evaluate_batch(&empty, &mut [0.0_f32; 0], usize::MAX).is_ok());
    let boxed: Box<dyn std::error::Error + Send + Sync> = Box::new(error);
    assert!(boxed.to_string().starts_with("quadobj: "));
}

fn shared<T: Send + Sync>(_: &T) {}

#[test]
fn a_problem_is_shared_between_threads() {
    let doorcost = Problem::find("doorcost").unwrap();
    shared(&doorcost);
    let values: Vec<f32> = std::thread::scope(|s| {
        let handles: Vec<_> = (0..4).map(|_| s.spawn(|| doorcost.evaluate(&[1.0_f32; 240]).unwrap())).collect();
        handles.into_iter().map(|h| h.join().unwrap()).collect()
    });
    assert_eq!(values, [1147840.0; 4]);
}
