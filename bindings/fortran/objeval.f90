! SPDX-License-Identifier: MIT
! The evaluators from Fortran, through libobjeval's checked C interface:
! each value is the program's, bit for bit. The problems come from the
! library's table, by name.
!
!   use objeval
!   real(real64) :: points(50, n), values(n)        ! a point per column
!   call objeval_evaluate('quadobj', points, values) ! or real32, in or out
!   call objeval_evaluate('quadobj', points, values, threads=0, status=status)
!   f = objeval_value('quadobj', points(:, 1))       ! one point
!
! Each number is rounded once to float; a real64 value is the program's
! float widened exactly. threads: 0 for one per CPU this process may use, a
! larger count is lowered to that number; the values do not depend on it.
! Without status=, a failure stops the program with its message.
!
! Build: gfortran $(pkg-config --cflags objeval-fortran) prog.f90 $(pkg-config --libs objeval-fortran)
module objeval
  use, intrinsic :: iso_c_binding, only: c_char, c_double, c_float, c_int, c_null_char, c_ptr, c_size_t, &
      c_f_pointer, c_associated, c_null_ptr, c_long_long
  use, intrinsic :: iso_fortran_env, only: real32, real64, int64, compiler_version
  use, intrinsic :: ieee_arithmetic, only: ieee_value, ieee_quiet_nan
  implicit none
  private
  public :: real32, real64, int64
  public :: objeval_evaluate, objeval_value, objeval_dimension, objeval_status_message, objeval_version
  public :: objeval_problem_count, objeval_problem_name
  public :: objeval_study, objeval_run, objeval_study_open, objeval_study_close, objeval_run_start, &
      objeval_run_evaluate, objeval_run_evaluations, objeval_run_best, objeval_run_end, objeval_run_fail, &
      objeval_run_discard, objeval_last_error

  ! What a call's status= receives: the C interface's statuses, then the module's own.
  integer, parameter, public :: objeval_ok = 0, objeval_null_pointer = 1, objeval_count_too_large = 2, &
      objeval_no_such_problem = 3, objeval_internal_error = 4, objeval_budget_spent = 5, objeval_cannot_write = 6, &
      objeval_bad_argument = 7, objeval_wrong_shape = 101, objeval_negative_threads = 102, objeval_bad_budget = 103
  ! What a study logs besides each improvement's evaluation and value, and how it writes.
  integer, parameter, public :: objeval_log_every_evaluation = 1, objeval_log_points = 2, objeval_durable = 4, &
      objeval_add_runs = 8

  ! A study, and one run of it (see objeval_study_open and objeval_run_start).
  type :: objeval_study
    type(c_ptr) :: handle = c_null_ptr
  end type
  type :: objeval_run
    type(c_ptr) :: handle = c_null_ptr
    integer :: dimension = 0
  end type

  interface objeval_evaluate
    module procedure evaluate_32_32, evaluate_32_64, evaluate_64_32, evaluate_64_64, one_32, one_64
  end interface
  interface objeval_value
    module procedure value_32, value_64
  end interface

  interface
    integer(c_int) function c_study_open(folder, algorithm, info, options, study) bind(C, name="objeval_study_open")
      import :: c_char, c_int, c_ptr
      character(kind=c_char), intent(in) :: folder(*), algorithm(*), info(*)
      integer(c_int), value :: options
      type(c_ptr), intent(out) :: study
    end function
    subroutine c_study_close(study) bind(C, name="objeval_study_close")
      import :: c_ptr
      type(c_ptr), value :: study
    end subroutine
    integer(c_int) function c_run_start(study, problem, budget, attributes, run) bind(C, name="objeval_run_start")
      import :: c_char, c_int, c_ptr, c_size_t, c_long_long
      type(c_ptr), value :: study
      integer(c_size_t), value :: problem
      integer(c_long_long), value :: budget
      character(kind=c_char), intent(in) :: attributes(*)
      type(c_ptr), intent(out) :: run
    end function
    integer(c_int) function c_run_evaluate_doubles(run, points, count, point_stride, coordinate_stride, values, &
        threads, evaluated) bind(C, name="objeval_run_evaluate_doubles")
      import :: c_double, c_int, c_ptr, c_size_t
      type(c_ptr), value :: run
      real(c_double), intent(in) :: points(*)
      integer(c_size_t), value :: count, point_stride, coordinate_stride
      real(c_double), intent(out) :: values(*)
      integer(c_int), value :: threads
      integer(c_size_t), intent(out) :: evaluated
    end function
    integer(c_long_long) function c_run_evaluations(run) bind(C, name="objeval_run_evaluations")
      import :: c_long_long, c_ptr
      type(c_ptr), value :: run
    end function
    real(c_float) function c_run_best(run, point) bind(C, name="objeval_run_best")
      import :: c_float, c_ptr
      type(c_ptr), value :: run
      real(c_float), intent(out) :: point(*)
    end function
    integer(c_int) function c_run_end(run) bind(C, name="objeval_run_end")
      import :: c_int, c_ptr
      type(c_ptr), value :: run
    end function
    integer(c_int) function c_run_fail(run, reason) bind(C, name="objeval_run_fail")
      import :: c_char, c_int, c_ptr
      type(c_ptr), value :: run
      character(kind=c_char), intent(in) :: reason(*)
    end function
    integer(c_int) function c_run_discard(run) bind(C, name="objeval_run_discard")
      import :: c_int, c_ptr
      type(c_ptr), value :: run
    end function
    type(c_ptr) function c_last_error() bind(C, name="objeval_last_error")
      import :: c_ptr
    end function
    integer(c_size_t) function c_problem_count() bind(C, name="objeval_problem_count")
      import :: c_size_t
    end function
    integer(c_size_t) function c_problem_find(name) bind(C, name="objeval_problem_find")
      import :: c_char, c_size_t
      character(kind=c_char), intent(in) :: name(*)
    end function
    type(c_ptr) function c_problem_at(index) bind(C, name="objeval_problem_at")
      import :: c_ptr, c_size_t
      integer(c_size_t), value :: index
    end function
    integer(c_int) function c_evaluate(problem, points, count, values, threads) bind(C, name="objeval_evaluate")
      import :: c_float, c_int, c_size_t
      integer(c_size_t), value :: problem, count
      real(c_float), intent(in) :: points(*)
      real(c_float), intent(out) :: values(*)
      integer(c_int), value :: threads
    end function
    integer(c_int) function c_evaluate_double(problem, points, count, point_stride, coordinate_stride, values, threads) &
        bind(C, name="objeval_evaluate_double")
      import :: c_double, c_float, c_int, c_size_t
      integer(c_size_t), value :: problem, count, point_stride, coordinate_stride
      real(c_double), intent(in) :: points(*)
      real(c_float), intent(out) :: values(*)
      integer(c_int), value :: threads
    end function
    integer(c_int) function c_evaluate_doubles(problem, points, count, point_stride, coordinate_stride, values, threads) &
        bind(C, name="objeval_evaluate_doubles")
      import :: c_double, c_int, c_size_t
      integer(c_size_t), value :: problem, count, point_stride, coordinate_stride
      real(c_double), intent(in) :: points(*)
      real(c_double), intent(out) :: values(*)
      integer(c_int), value :: threads
    end function
    type(c_ptr) function c_status_message(status) bind(C, name="objeval_status_message")
      import :: c_int, c_ptr
      integer(c_int), value :: status
    end function
    type(c_ptr) function c_version() bind(C, name="objeval_version")
      import :: c_ptr
    end function
  end interface

  ! The C table's entry, as C lays it out.
  type, bind(C) :: problem_entry
    type(c_ptr) :: name
    integer(c_size_t) :: dimension
    type(c_ptr) :: description
  end type

contains

  ! The numbers in a point of the problem `name`, or 0 if there is no such problem.
  integer function objeval_dimension(name)
    character(len=*), intent(in) :: name
    type(problem_entry), pointer :: entry
    integer(c_size_t) :: index
    objeval_dimension = 0
    index = c_problem_find(trim(name) // c_null_char)
    if (.not. c_associated(c_problem_at(index))) return
    call c_f_pointer(c_problem_at(index), entry)
    objeval_dimension = int(entry%dimension)
  end function

  ! How many problems the library's table holds.
  integer function objeval_problem_count()
    objeval_problem_count = int(c_problem_count())
  end function

  ! The name of problem n of the table, 1 to objeval_problem_count(); '' past the last.
  function objeval_problem_name(n) result(name)
    integer, intent(in) :: n
    character(len=:), allocatable :: name
    type(problem_entry), pointer :: entry
    integer :: count
    name = ''
    count = objeval_problem_count()
    if (n < 1 .or. n > count) return
    call c_f_pointer(c_problem_at(int(n - 1, c_size_t)), entry)
    name = c_text(entry%name)
  end function

  function objeval_status_message(status) result(message)
    integer, intent(in) :: status
    character(len=:), allocatable :: message
    select case (status)
    case (objeval_wrong_shape)
      message = "the points' shape fits no point of the problem, or values has not one element a point"
    case (objeval_negative_threads)
      message = "threads must be 0 (one per CPU) or more"
    case (objeval_bad_budget)
      message = "a budget is a whole number of evaluations from 1 (none: no budget)"
    case default
      message = c_text(c_status_message(int(status, c_int)))
    end select
  end function

  function objeval_version() result(version)
    character(len=:), allocatable :: version
    version = c_text(c_version())
  end function

  function c_text(pointer) result(text)
    type(c_ptr), intent(in) :: pointer
    character(len=:), allocatable :: text
    character(kind=c_char), pointer :: chars(:)
    integer :: length
    call c_f_pointer(pointer, chars, [huge(0)])
    length = 0
    do while (chars(length + 1) /= c_null_char)
      length = length + 1
    end do
    allocate(character(len=length) :: text)
    text = transfer(chars(1:length), text)
  end function

  ! The problem's index and the thread count for C, having checked the
  ! shapes, or a status in `failed`.
  subroutine prepare(name, rows, columns, values, threads, index, c_threads, failed)
    character(len=*), intent(in) :: name
    integer, intent(in) :: rows, columns, values
    integer, intent(in), optional :: threads
    integer(c_size_t), intent(out) :: index
    integer(c_int), intent(out) :: c_threads
    integer, intent(out) :: failed
    integer :: dimension
    failed = objeval_ok
    index = c_problem_find(trim(name) // c_null_char)
    dimension = objeval_dimension(name)
    c_threads = 1
    if (present(threads)) c_threads = int(min(threads, huge(0_c_int)), c_int)
    if (dimension == 0) then
      failed = objeval_no_such_problem
    else if (rows /= dimension .or. columns /= values) then
      failed = objeval_wrong_shape
    else if (c_threads < 0) then
      failed = objeval_negative_threads
    end if
  end subroutine

  ! Puts the status where the caller asked for it, or stops with its message.
  subroutine finish(name, result, status)
    character(len=*), intent(in) :: name
    integer, intent(in) :: result
    integer, intent(out), optional :: status
    character(len=:), allocatable :: words
    if (present(status)) then
      status = result
    else if (result /= objeval_ok) then
      words = objeval_status_message(result)
      if (result >= objeval_budget_spent .and. result <= objeval_bad_argument) words = objeval_last_error()
      error stop "objeval: " // trim(name) // ": " // words
    end if
  end subroutine

  subroutine evaluate_32_32(name, points, values, threads, status)
    character(len=*), intent(in) :: name
    real(real32), intent(in), contiguous :: points(:, :)
    real(real32), intent(out), contiguous :: values(:)
    integer, intent(in), optional :: threads
    integer, intent(out), optional :: status
    integer(c_size_t) :: index
    integer(c_int) :: c_threads
    integer :: result
    call prepare(name, size(points, 1), size(points, 2), size(values), threads, index, c_threads, result)
    if (result == objeval_ok .and. size(values) > 0) &
        result = c_evaluate(index, points, size(values, kind=c_size_t), values, c_threads)
    call finish(name, result, status)
  end subroutine

  subroutine evaluate_64_32(name, points, values, threads, status)
    character(len=*), intent(in) :: name
    real(real64), intent(in), contiguous :: points(:, :)
    real(real32), intent(out), contiguous :: values(:)
    integer, intent(in), optional :: threads
    integer, intent(out), optional :: status
    integer(c_size_t) :: index
    integer(c_int) :: c_threads
    integer :: result
    call prepare(name, size(points, 1), size(points, 2), size(values), threads, index, c_threads, result)
    if (result == objeval_ok .and. size(values) > 0) result = c_evaluate_double(index, points, &
        size(values, kind=c_size_t), size(points, 1, kind=c_size_t), 1_c_size_t, values, c_threads)
    call finish(name, result, status)
  end subroutine

  subroutine evaluate_32_64(name, points, values, threads, status)
    character(len=*), intent(in) :: name
    real(real32), intent(in), contiguous :: points(:, :)
    real(real64), intent(out), contiguous :: values(:)
    integer, intent(in), optional :: threads
    integer, intent(out), optional :: status
    real(real32), allocatable :: narrow(:)
    allocate(narrow(size(values)))
    call evaluate_32_32(name, points, narrow, threads, status)
    values = real(narrow, real64)
  end subroutine

  subroutine evaluate_64_64(name, points, values, threads, status)
    character(len=*), intent(in) :: name
    real(real64), intent(in), contiguous :: points(:, :)
    real(real64), intent(out), contiguous :: values(:)
    integer, intent(in), optional :: threads
    integer, intent(out), optional :: status
    integer(c_size_t) :: index
    integer(c_int) :: c_threads
    integer :: result
    call prepare(name, size(points, 1), size(points, 2), size(values), threads, index, c_threads, result)
    if (result == objeval_ok .and. size(values) > 0) result = c_evaluate_doubles(index, points, &
        size(values, kind=c_size_t), size(points, 1, kind=c_size_t), 1_c_size_t, values, c_threads)
    call finish(name, result, status)
  end subroutine

  subroutine one_32(name, point, value, status)
    character(len=*), intent(in) :: name
    real(real32), intent(in), contiguous :: point(:)
    real(real32), intent(out) :: value
    integer, intent(out), optional :: status
    integer(c_size_t) :: index
    integer(c_int) :: c_threads
    integer :: result
    real(real32) :: values(1)
    values = ieee_value(values, ieee_quiet_nan)
    call prepare(name, size(point), 1, 1, 1, index, c_threads, result)
    if (result == objeval_ok) result = c_evaluate(index, point, 1_c_size_t, values, 1_c_int)
    value = values(1)
    call finish(name, result, status)
  end subroutine

  subroutine one_64(name, point, value, status)
    character(len=*), intent(in) :: name
    real(real64), intent(in), contiguous :: point(:)
    real(real64), intent(out) :: value
    integer, intent(out), optional :: status
    integer(c_size_t) :: index
    integer(c_int) :: c_threads
    integer :: result
    real(real32) :: values(1)
    values = ieee_value(values, ieee_quiet_nan)
    call prepare(name, size(point), 1, 1, 1, index, c_threads, result)
    if (result == objeval_ok) result = c_evaluate_double(index, point, 1_c_size_t, size(point, kind=c_size_t), &
        1_c_size_t, values, 1_c_int)
    value = real(values(1), real64)
    call finish(name, result, status)
  end subroutine

  ! The value at one point, of the point's kind; a failure stops the program.
  real(real32) function value_32(name, point)
    character(len=*), intent(in) :: name
    real(real32), intent(in), contiguous :: point(:)
    call one_32(name, point, value_32)
  end function

  real(real64) function value_64(name, point)
    character(len=*), intent(in) :: name
    real(real64), intent(in), contiguous :: point(:)
    call one_64(name, point, value_64)
  end function

  ! The words of the last study call on this thread that failed.
  function objeval_last_error() result(words)
    character(len=:), allocatable :: words
    words = c_text(c_last_error())
  end function

  ! Opens the study in `folder` for `algorithm`, described by `info`: runs
  ! logged where IOHanalyzer reads them, the problems minimised. options:
  ! objeval_log_every_evaluation, objeval_log_points, objeval_durable,
  ! objeval_add_runs, summed.
  subroutine objeval_study_open(study, folder, algorithm, info, options, status)
    type(objeval_study), intent(out) :: study
    character(len=*), intent(in) :: folder, algorithm
    character(len=*), intent(in), optional :: info
    integer, intent(in), optional :: options
    integer, intent(out), optional :: status
    integer(c_int) :: flags
    flags = 0
    if (present(options)) flags = int(options, c_int)
    if (present(info)) then
      call finish(folder, int(c_study_open(folder // c_null_char, algorithm // c_null_char, info // c_null_char, &
          flags, study%handle)), status)
    else
      call finish(folder, int(c_study_open(folder // c_null_char, algorithm // c_null_char, c_null_char, flags, &
          study%handle)), status)
    end if
  end subroutine

  subroutine objeval_study_close(study)
    type(objeval_study), intent(inout) :: study
    call c_study_close(study%handle)
    study%handle = c_null_ptr
  end subroutine

  ! Starts a run of `problem`: at most `budget` evaluations (from 1; none:
  ! no budget), `attributes` ('seed=1;restart=0') recorded with it, and the
  ! compiler (language=...).
  subroutine objeval_run_start(run, study, problem, budget, attributes, status)
    type(objeval_run), intent(out) :: run
    type(objeval_study), intent(in) :: study
    character(len=*), intent(in) :: problem
    integer(int64), intent(in), optional :: budget
    character(len=*), intent(in), optional :: attributes
    integer, intent(out), optional :: status
    integer(c_long_long) :: most
    character(len=:), allocatable :: text
    most = 0
    if (present(budget)) then
      if (budget < 1) then
        call finish(problem, objeval_bad_budget, status)
        return
      end if
      most = int(budget, c_long_long)
    end if
    run%dimension = objeval_dimension(problem)
    text = ''
    if (present(attributes)) text = trim(attributes)
    if (index(';' // text, ';language=') == 0) then
      if (len(text) > 0) text = text // ';'
      text = text // 'language=Fortran ' // compiler_version()
    end if
    call finish(problem, int(c_run_start(study%handle, c_problem_find(trim(problem) // c_null_char), most, &
        text // c_null_char, run%handle)), status)
  end subroutine

  ! The values of points(:, k), each point one evaluation of the run, in
  ! order. Past the budget: the points within it are evaluated, and status
  ! is objeval_budget_spent (without status=, the program stops).
  subroutine objeval_run_evaluate(run, points, values, threads, status)
    type(objeval_run), intent(in) :: run
    real(real64), intent(in), contiguous :: points(:, :)
    real(real64), intent(out), contiguous :: values(:)
    integer, intent(in), optional :: threads
    integer, intent(out), optional :: status
    integer(c_size_t) :: evaluated
    integer(c_int) :: c_threads
    integer :: result
    c_threads = 1
    if (present(threads)) c_threads = int(min(threads, huge(0_c_int)), c_int)
    result = objeval_ok
    if (size(points, 1) /= run%dimension .or. size(points, 2) /= size(values)) result = objeval_wrong_shape
    if (result == objeval_ok .and. size(values) > 0) result = c_run_evaluate_doubles(run%handle, points, &
        size(values, kind=c_size_t), size(points, 1, kind=c_size_t), 1_c_size_t, values, c_threads, evaluated)
    call finish('a run', result, status)
  end subroutine

  ! The evaluations the run has made.
  integer(int64) function objeval_run_evaluations(run)
    type(objeval_run), intent(in) :: run
    objeval_run_evaluations = int(c_run_evaluations(run%handle), int64)
  end function

  ! The run's best value so far (infinity before any); its point into `point`.
  real(real32) function objeval_run_best(run, point)
    type(objeval_run), intent(in) :: run
    real(real32), intent(out) :: point(run%dimension)
    objeval_run_best = c_run_best(run%handle, point)
  end function

  ! Ends the run and adds it to its study.
  subroutine objeval_run_end(run, status)
    type(objeval_run), intent(inout) :: run
    integer, intent(out), optional :: status
    call finish('a run', int(c_run_end(run%handle)), status)
    run%handle = c_null_ptr
  end subroutine

  ! Ends the run as failed, `reason` saying why: its rows are kept, apart
  ! from the runs IOHanalyzer reads.
  subroutine objeval_run_fail(run, reason, status)
    type(objeval_run), intent(inout) :: run
    character(len=*), intent(in) :: reason
    integer, intent(out), optional :: status
    call finish('a run', int(c_run_fail(run%handle, reason // c_null_char)), status)
    run%handle = c_null_ptr
  end subroutine

  ! Ends the run leaving nothing of it in its study.
  subroutine objeval_run_discard(run, status)
    type(objeval_run), intent(inout) :: run
    integer, intent(out), optional :: status
    call finish('a run', int(c_run_discard(run%handle)), status)
    run%handle = c_null_ptr
  end subroutine
end module objeval
