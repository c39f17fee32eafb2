// SPDX-License-Identifier: MIT
//! A (1+1) evolution strategy on quadobj: one mutant a step, kept where it
//! is no worse, the step size tuned by the one-fifth rule.
//!
//!     cargo run --offline --example one_plus_one
fn main() -> Result<(), objeval::Error> {
    let quadobj = objeval::Problem::find("quadobj").expect("libobjeval has quadobj");
    let mut state = 0x9E37_79B9_7F4A_7C15_u64;
    let mut uniform = move || {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        (state >> 11) as f64 / (1u64 << 53) as f64 * 2.0 - 1.0
    };
    let mut x = vec![0.0_f64; quadobj.dimension()];
    let mut best = quadobj.evaluate(&x)?;
    let mut step = 0.3;
    for _ in 0..5000 {
        let mutant: Vec<f64> = x.iter().map(|&v| (v + step * uniform()).clamp(-1.0, 1.0)).collect();
        let value = quadobj.evaluate(&mutant)?;
        if value <= best {
            (x, best, step) = (mutant, value, step * 1.5);
        } else {
            step *= 0.9;
        }
    }
    println!("quadobj: {best} after 5,000 points (libobjeval {})", objeval::version());
    Ok(())
}
