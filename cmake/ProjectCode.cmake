# Compiler warnings for the project's own targets (not for googletest or other outside sources):
# every warning of -Wall -Wextra; the product's code treats them as errors.
function(clipharbor_code target)
  cmake_parse_arguments(arg "PRODUCT" "" "" ${ARGN})
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(arg_PRODUCT)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
