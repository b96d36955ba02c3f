#include "Output.h"

#include "HeadlessOutput.h"


std::unique_ptr<Output>
MakeOutput(OutputKind kind)
{
	switch (kind) {
		case OutputKind::Headless:
			return std::make_unique<HeadlessOutput>();
	}
	return nullptr;
}
