! SPDX-License-Identifier: MIT
! The Fortran module against the golden bits, for every problem of the
! table: batches from and into real32 and real64, on every thread count, a
! strided section, one point; the refusals; then a caller's loop, a random
! search on quadobj.
!   fortran_test CORPUS_DIR STUDY_FORMAT_PY
program fortran_test
  use objeval
  use, intrinsic :: iso_c_binding, only: c_int32_t
  implicit none
  character(len=4096) :: dir
  integer :: failures = 0, n

  call get_command_argument(1, dir)
  do n = 1, objeval_problem_count()
    call check(objeval_problem_name(n))
  end do
  n = objeval_problem_count() + 1
  if (objeval_problem_name(1) /= 'doorcost') failures = failures + 1
  if (objeval_problem_name(2) /= 'quadobj') failures = failures + 1
  if (objeval_problem_name(n) /= '') failures = failures + 1
  call search()
  call study()
  if (failures /= 0) then
    print '(a, i0, a)', 'FAIL: ', failures, ' differences'
    error stop 1
  end if
  print '(a, a, a)', 'fortran: every value is golden (libobjeval ', objeval_version(), ')'

contains

  subroutine read_floats(name, values)
    character(len=*), intent(in) :: name
    real(real32), allocatable, intent(out) :: values(:)
    integer :: unit, bytes
    open(newunit=unit, file=trim(dir) // '/' // name, access='stream', form='unformatted', status='old')
    inquire(unit=unit, size=bytes)
    allocate(values(bytes / 4))
    read(unit) values
    close(unit)
  end subroutine

  subroutine compare(what, got, golden)
    character(len=*), intent(in) :: what
    real(real32), intent(in) :: got(:), golden(:)
    integer :: n
    do n = 1, size(golden)
      if (transfer(got(n), 0_c_int32_t) /= transfer(golden(n), 0_c_int32_t)) then
        print '(a, a, i0, a, z8.8, a, z8.8)', what, ': first difference at point ', n - 1, ': got ', &
            transfer(got(n), 0_c_int32_t), ', golden ', transfer(golden(n), 0_c_int32_t)
        failures = failures + 1
        return
      end if
    end do
  end subroutine

  subroutine expect(what, got, status)
    character(len=*), intent(in) :: what
    integer, intent(in) :: got, status
    if (got /= status) then
      print '(a, a, i0, a, i0)', what, ': status ', got, ', expected ', status
      failures = failures + 1
    end if
  end subroutine

  subroutine check(name)
    character(len=*), intent(in) :: name
    real(real32), allocatable :: flat(:), golden(:), values(:), points(:, :), doubled(:, :)
    real(real64), allocatable :: wide(:, :), wide_values(:)
    integer :: n, count, threads, dimension, status
    call read_floats(name // '.points.f32', flat)
    call read_floats(name // '.golden.f32', golden)
    dimension = objeval_dimension(name)
    count = size(golden)
    points = reshape(flat, [dimension, count])
    wide = real(points, real64)
    allocate(values(count), wide_values(count))
    do threads = 0, 2
      values = -1
      call objeval_evaluate(name, points, values, threads=threads)
      call compare(name // ' batch, real32', values, golden)
    end do
    call objeval_evaluate(name, wide, values, threads=2)
    call compare(name // ' batch, real64', values, golden)
    call objeval_evaluate(name, wide, wide_values)
    call compare(name // ' batch, real64 into real64', real(wide_values, real32), golden)
    call objeval_evaluate(name, points, wide_values)
    call compare(name // ' batch, real32 into real64', real(wide_values, real32), golden)
    ! Every other point of a matrix twice as wide: a section, copied in by the compiler.
    allocate(doubled(dimension, 2 * count))
    doubled(:, 1::2) = points
    doubled(:, 2::2) = 0
    call objeval_evaluate(name, doubled(:, 1::2), values)
    call compare(name // ' batch, a section', values, golden)
    do n = 1, count
      values(n) = objeval_value(name, points(:, n))
      wide_values(n) = objeval_value(name, wide(:, n))
    end do
    call compare(name // ' one point', values, golden)
    call compare(name // ' one point, real64', real(wide_values, real32), golden)

    call objeval_evaluate(name, points(2:, :), values, status=status)
    call expect(name // ' a point one number short', status, objeval_wrong_shape)
    call objeval_evaluate(name, points, values(2:), status=status)
    call expect(name // ' one value too few', status, objeval_wrong_shape)
    call objeval_evaluate(name, points, values, threads=-1, status=status)
    call expect(name // ' threads=-1', status, objeval_negative_threads)
    call objeval_evaluate('no' // name, points, values, status=status)
    call expect(name // ' no such problem', status, objeval_no_such_problem)
  end subroutine

  ! A caller as Fortran solvers are: a loop that asks for one value at a time.
  subroutine search()
    real(real64), allocatable :: x(:), trial(:), step(:)
    real(real64) :: best, value
    integer :: n
    allocate(x(objeval_dimension('quadobj')), trial(objeval_dimension('quadobj')), step(objeval_dimension('quadobj')))
    x = 0
    best = objeval_value('quadobj', x)
    call random_seed()
    do n = 1, 2000
      call random_number(step)
      trial = max(-1.0_real64, min(1.0_real64, x + 0.1_real64 * (step - 0.5_real64)))
      value = objeval_value('quadobj', trial)
      if (value < best) then
        best = value
        x = trial
      end if
    end do
    if (.not. (best < 0)) then
      print '(a, g0)', 'the search found no value below 0: ', best
      failures = failures + 1
    end if
    if (best /= objeval_value('quadobj', x)) failures = failures + 1
    print '(a, f0.6)', 'fortran: a random search on quadobj reached ', best
  end subroutine

  ! A study of two algorithms, a random search on a budget its last batch
  ! crosses, and a second on doorcost, which IOHanalyzer's rules load whole.
  subroutine study()
    type(objeval_study) :: s
    type(objeval_run) :: r
    character(len=4096) :: format
    character(len=:), allocatable :: folder
    real(real64) :: points(50, 10), values(10), doors(240, 20), costs(20)
    real(real32) :: best_point(50), best_doors(240)
    integer :: seed, k, status, result
    folder = 'study'  ! in the scratch folder the test runs in
    call get_command_argument(2, format)
    call objeval_study_open(s, folder, 'random search', 'uniform in [-1, 1]')
    do seed = 1, 3
      call objeval_run_start(r, s, 'quadobj', int(55, int64), 'seed=' // achar(48 + seed))
      do k = 1, 6
        call random_number(points)
        call objeval_run_evaluate(r, 2 * points - 1, values, status=status)
      end do
      if (status /= objeval_budget_spent .or. objeval_run_evaluations(r) /= 55) failures = failures + 1
      if (objeval_run_best(r, best_point) /= objeval_value('quadobj', best_point)) failures = failures + 1
      call objeval_run_end(r)
    end do
    call objeval_study_close(s)
    call objeval_study_open(s, folder, 'one batch', 'uniform in [0, 1]')
    call objeval_run_start(r, s, 'doorcost')
    call random_number(doors)
    call objeval_run_evaluate(r, doors, costs, threads=2)
    if (objeval_run_best(r, best_doors) /= minval(costs)) failures = failures + 1
    call objeval_run_end(r)
    call objeval_run_start(r, s, 'doorcost', 0_int64, status=status)
    call expect('a budget of 0', status, objeval_bad_budget)
    call objeval_run_start(r, s, 'doorcost', 10_int64)
    call objeval_run_evaluate(r, doors(:, 1:2), costs(1:2))
    call objeval_run_fail(r, 'a test''s failure')
    call objeval_study_close(s)
    call execute_command_line('python3 ' // trim(format) // ' ' // folder // ' --runs 4 > /dev/null', exitstat=result)
    if (result /= 0) then
      print '(a)', 'FAIL the study does not load'
      failures = failures + 1
    else
      print '(a)', 'fortran: a study of 4 runs loads by IOHanalyzer''s rules'
    end if
  end subroutine
end program
