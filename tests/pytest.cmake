# The end-to-end drivers run on Debian's pytest (python3-pytest), whatever python3 comes first on
# the PATH: one CTest test per group of cases, each a list of pytest node ids, so that CTest's
# names, labels and timeouts stay as they were and a failure names its case.
find_program(SOLID_PYTEST pytest-3 REQUIRED)

# solid_pytest(NAME FILE NODES... ARGS ...): the CTest test NAME runs those tests of FILE.
function(solid_pytest name file)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "NODES;ARGS")
  set(nodes)
  foreach(node ${arg_NODES})
    list(APPEND nodes "${file}::${node}")
  endforeach()
  add_test(NAME ${name}
    COMMAND ${SOLID_PYTEST} -c ${PROJECT_SOURCE_DIR}/tests/pytest.ini
      --rootdir ${PROJECT_SOURCE_DIR}/tests ${nodes} ${arg_ARGS})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT PYTHONDONTWRITEBYTECODE=1)
endfunction()

# Debian's own Python, for drivers that import modules from Debian's packages (PIL, selenium):
# the first python3 on the PATH may be another one, without them.
find_program(SOLID_DEBIAN_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
