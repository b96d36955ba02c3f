# Unit tests of the add-on: the canvas, the saver's life cycle and the mote
# field, linked directly against the add-on's objects.
if(NOT TARGET GTest::gtest)
	if(DUSTGLOW_GTEST_SOURCE)
		add_subdirectory(${PROJECT_SOURCE_DIR}/cmake/googletest
			${CMAKE_BINARY_DIR}/googletest-build)
	else()
		find_package(GTest REQUIRED)
	endif()
endif()
include(GoogleTest)

add_executable(dustglow_unit_tests
	CanvasTest.cpp
	SaverLifecycleTest.cpp
	MoteMotionTest.cpp
	GlowCycleTest.cpp
	MoteDiscTest.cpp
	FrameStepTest.cpp
	GoldenFieldTest.cpp
	FastPathTest.cpp
	PresentTest.cpp
	FieldSoakTest.cpp
	support/ReferenceField.cpp
)
target_include_directories(dustglow_unit_tests PRIVATE support)
# The plain form of the field that the add-on's fast paths are checked
# against: built with the add-on's own numerics.
set_source_files_properties(support/ReferenceField.cpp PROPERTIES
	COMPILE_OPTIONS "${DUSTGLOW_EXACT_FLAGS}")
target_link_libraries(dustglow_unit_tests PRIVATE dustglow_core platform_host
	GTest::gtest GTest::gtest_main)
gtest_discover_tests(dustglow_unit_tests)
