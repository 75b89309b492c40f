# QUORLINK_SANITIZE=address;undefined builds every project target with the
# named sanitizers (set globally so libraries and tests agree on the ABI).
set(QUORLINK_SANITIZE "" CACHE STRING "Sanitizers to enable, e.g. address;undefined")
if(QUORLINK_SANITIZE)
  string(REPLACE ";" "," _quorlink_sanitizers "${QUORLINK_SANITIZE}")
  add_compile_options(-fsanitize=${_quorlink_sanitizers} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${_quorlink_sanitizers})
endif()
