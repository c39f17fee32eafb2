! SPDX-License-Identifier: MIT
! A random search on quadobj, 20 rounds of 1,000 candidates, each round one
! batch call on every CPU:
!   gfortran $(pkg-config --cflags objeval-fortran) random_search.f90 $(pkg-config --libs objeval-fortran)
program random_search
  use objeval
  implicit none
  integer, parameter :: batch = 1000
  real(real64), allocatable :: best(:), candidates(:, :), noise(:, :)
  real(real64) :: values(batch), best_value
  integer :: round, dimension
  dimension = objeval_dimension('quadobj')
  allocate(best(dimension), candidates(dimension, batch), noise(dimension, batch))
  best = 0
  best_value = objeval_value('quadobj', best)
  do round = 1, 20
    call random_number(noise)
    candidates = max(-1.0_real64, min(1.0_real64, spread(best, 2, batch) + 0.2_real64 * (noise - 0.5_real64)))
    call objeval_evaluate('quadobj', candidates, values, threads=0)
    if (minval(values) < best_value) then
      best_value = minval(values)
      best = candidates(:, minloc(values, 1))
    end if
  end do
  print '(a, f0.6, a)', 'quadobj: ', best_value, ' after 20,000 points'
end program
