% -*- texinfo -*-
% @deftypefn {} {} objeval_study_close (@var{s})
% Closes the study @var{s}; its runs not yet ended stay usable until they end.
% @seealso{objeval_study}
% @end deftypefn
function objeval_study_close (s)
  __objeval_mex__ ("#study_close", s.handle);
end

% SPDX-License-Identifier: MIT
