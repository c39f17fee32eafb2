! SPDX-License-Identifier: MIT
! The evaluators from Fortran, through libobjeval's C interface: each
! function gives the program's value, bit for bit.
!
!   use objeval
!   real(c_float) :: x(50), points(50, n), values(n)
!   value = objeval_quadobj(x)
!   call objeval_quadobj_batch(points, int(n, c_size_t), values)   ! a point per column
!
! Build: gfortran objeval.f90 prog.f90 $(pkg-config --libs objeval)
module objeval
  use, intrinsic :: iso_c_binding, only: c_float, c_size_t, c_int
  implicit none
  private
  public :: c_float, c_size_t
  public :: objeval_doorcost, objeval_doorcost_batch, objeval_doorcost_batch_threads
  public :: objeval_quadobj, objeval_quadobj_batch, objeval_quadobj_batch_threads
  public :: objeval_doorcost_values, objeval_quadobj_values

  integer, parameter :: objeval_doorcost_values = 240, objeval_quadobj_values = 50

  interface
    ! values(240): laid out as in doorcost's input.txt.
    real(c_float) function objeval_doorcost(values) bind(C, name="objeval_doorcost")
      import :: c_float
      real(c_float), intent(in) :: values(240)
    end function
    ! points(240, count): a point per column; costs(count).
    subroutine objeval_doorcost_batch(points, count, costs) bind(C, name="objeval_doorcost_batch")
      import :: c_float, c_size_t
      real(c_float), intent(in) :: points(240, *)
      integer(c_size_t), value :: count
      real(c_float), intent(out) :: costs(*)
    end subroutine
    ! The same on `threads` threads (0: one per CPU this process may use).
    subroutine objeval_doorcost_batch_threads(points, count, costs, threads) &
        bind(C, name="objeval_doorcost_batch_threads")
      import :: c_float, c_size_t, c_int
      real(c_float), intent(in) :: points(240, *)
      integer(c_size_t), value :: count
      real(c_float), intent(out) :: costs(*)
      integer(c_int), value :: threads
    end subroutine

    ! values(50): x(1) to x(50), the program's x[0] to x[49].
    real(c_float) function objeval_quadobj(values) bind(C, name="objeval_quadobj")
      import :: c_float
      real(c_float), intent(in) :: values(50)
    end function
    ! points(50, count): a point per column; results(count).
    subroutine objeval_quadobj_batch(points, count, results) bind(C, name="objeval_quadobj_batch")
      import :: c_float, c_size_t
      real(c_float), intent(in) :: points(50, *)
      integer(c_size_t), value :: count
      real(c_float), intent(out) :: results(*)
    end subroutine
    subroutine objeval_quadobj_batch_threads(points, count, results, threads) &
        bind(C, name="objeval_quadobj_batch_threads")
      import :: c_float, c_size_t, c_int
      real(c_float), intent(in) :: points(50, *)
      integer(c_size_t), value :: count
      real(c_float), intent(out) :: results(*)
      integer(c_int), value :: threads
    end subroutine
  end interface
end module objeval
