# Finds what the Python module needs: an interpreter with its headers and
# pybind11 (Debian: python3-dev, pybind11-dev). Sets HUEVANE_PYTHON_FOUND.
#
# Python_EXECUTABLE picks the interpreter. Without it the first of
# /usr/bin/python3 and the python3 on PATH that imports numpy is taken:
# Debian's python3-numpy serves /usr/bin/python3, while PATH may start with
# another Python that has no numpy.
if(NOT Python_EXECUTABLE)
  find_program(HUEVANE_PATH_PYTHON python3)
  foreach(candidate /usr/bin/python3 ${HUEVANE_PATH_PYTHON})
    if(EXISTS "${candidate}")
      execute_process(COMMAND "${candidate}" -c "import numpy" RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
      if(rc EQUAL 0)
        set(Python_EXECUTABLE "${candidate}" CACHE FILEPATH "Python interpreter the module is built for")
        break()
      endif()
    endif()
  endforeach()
endif()

set(HUEVANE_PYTHON_FOUND OFF)
find_package(Python 3.7 COMPONENTS Interpreter Development.Module QUIET)
if(Python_FOUND)
  find_package(pybind11 2.6 CONFIG QUIET)
  if(pybind11_FOUND)
    set(HUEVANE_PYTHON_FOUND ON)
  endif()
endif()
