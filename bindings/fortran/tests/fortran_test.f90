! SPDX-License-Identifier: MIT
! The Fortran module against the golden bits, one point and batch, on every
! thread count; then a caller's loop: a random search on quadobj.
!   fortran_test CORPUS_DIR
program fortran_test
  use objeval
  use, intrinsic :: iso_c_binding, only: c_int32_t
  implicit none
  character(len=4096) :: dir
  integer :: failures = 0

  call get_command_argument(1, dir)
  call check_doorcost()
  call check_quadobj()
  call search()
  if (failures /= 0) then
    print '(a, i0, a)', 'FAIL: ', failures, ' differences'
    error stop 1
  end if
  print '(a)', 'fortran: every value is golden'

contains

  subroutine read_floats(name, values)
    character(len=*), intent(in) :: name
    real(c_float), allocatable, intent(out) :: values(:)
    integer :: unit, bytes
    open(newunit=unit, file=trim(dir) // '/' // name, access='stream', form='unformatted', status='old')
    inquire(unit=unit, size=bytes)
    allocate(values(bytes / 4))
    read(unit) values
    close(unit)
  end subroutine

  subroutine compare(what, got, golden)
    character(len=*), intent(in) :: what
    real(c_float), intent(in) :: got(:), golden(:)
    integer :: n
    do n = 1, size(golden)
      if (transfer(got(n), 0_c_int32_t) /= transfer(golden(n), 0_c_int32_t)) then
        if (failures == 0) print '(a, a, i0, a, z8.8, a, z8.8)', what, ' point ', n - 1, ': got ', &
            transfer(got(n), 0_c_int32_t), ', golden ', transfer(golden(n), 0_c_int32_t)
        failures = failures + 1
      end if
    end do
  end subroutine

  subroutine check_doorcost()
    real(c_float), allocatable :: flat(:), golden(:), values(:)
    integer :: n, count, threads
    call read_floats('doorcost.points.f32', flat)
    call read_floats('doorcost.golden.f32', golden)
    count = size(golden)
    allocate(values(count))
    do n = 1, count
      values(n) = objeval_doorcost(flat((n - 1) * 240 + 1 : n * 240))
    end do
    call compare('doorcost one point', values, golden)
    do threads = 0, 2
      values = -1
      call objeval_doorcost_batch_threads(reshape(flat, [240, count]), int(count, c_size_t), values, threads)
      call compare('doorcost batch', values, golden)
    end do
    values = -1
    call objeval_doorcost_batch(flat, int(count, c_size_t), values)
    call compare('doorcost batch', values, golden)
  end subroutine

  subroutine check_quadobj()
    real(c_float), allocatable :: flat(:), golden(:), values(:)
    real(c_float), allocatable :: points(:, :)
    integer :: n, count, threads
    call read_floats('quadobj.points.f32', flat)
    call read_floats('quadobj.golden.f32', golden)
    count = size(golden)
    points = reshape(flat, [50, count])
    allocate(values(count))
    do n = 1, count
      values(n) = objeval_quadobj(points(:, n))
    end do
    call compare('quadobj one point', values, golden)
    do threads = 0, 2
      values = -1
      call objeval_quadobj_batch_threads(points, int(count, c_size_t), values, threads)
      call compare('quadobj batch', values, golden)
    end do
    values = -1
    call objeval_quadobj_batch(points, int(count, c_size_t), values)
    call compare('quadobj batch', values, golden)
  end subroutine

  ! A caller as Fortran solvers are: a loop that asks for one value at a time.
  subroutine search()
    real(c_float) :: x(50), trial(50), best, value
    real :: step(50)
    integer :: n
    x = 0
    best = objeval_quadobj(x)
    call random_seed()
    do n = 1, 2000
      call random_number(step)
      trial = max(-1.0, min(1.0, x + 0.1 * (step - 0.5)))
      value = objeval_quadobj(trial)
      if (value < best) then
        best = value
        x = trial
      end if
    end do
    if (.not. (best < 0)) then
      print '(a, g0)', 'the search found no value below 0: ', best
      failures = failures + 1
    end if
    if (transfer(best, 0_c_int32_t) /= transfer(objeval_quadobj(x), 0_c_int32_t)) failures = failures + 1
    print '(a, f0.6)', 'fortran: a random search on quadobj reached ', best
  end subroutine
end program
